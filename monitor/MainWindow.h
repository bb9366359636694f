#pragma once
// TForm_MzVyber (unit mzvyber): the main window "Výběr zobrazení". Its buttons open the unit
// windows and the configuration editors; its timer drives the polling loop.

#include <QWidget>
#include <functional>

#include "config/EditorContext.h"
#include "monitor/ChannelAdapter.h"
#include "monitor/PollingLoop.h"
#include "monitor/UnitWindows.h"

class QCloseEvent;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace velor {

struct AppState;
class ToolSet;
class UnitWindow;

enum class EditorKind { Analog, Binary };

class TForm_MzVyber : public QWidget, private LoopView {
    Q_OBJECT

public:
    static constexpr int kHelpContext = 100;
    static constexpr int kClientWidth = 261;
    static constexpr int kClientHeight = 440;

    // channel: channel 1 as the loop and the editors use it; the window names each port the
    // search probes in E_Stav. tools: the tools this window and the unit windows it opens offer.
    TForm_MzVyber(AppState& app, ChannelAdapter& channel, ToolSet& tools,
                  QWidget* parent = nullptr);
    ~TForm_MzVyber() override;

    // Runs a configuration editor modally over the context and frees it. Replaceable so that
    // tests answer the editor without a human.
    using EditorRunner =
        std::function<void(EditorKind kind, EditorContext& context, QWidget* parent)>;
    void setEditorRunner(EditorRunner runner) { editorRunner_ = std::move(runner); }
    // What the editors get: the application's state and the port search, file dialog and help
    // hooks (tests replace the hooks).
    EditorContext& editorContext() { return editorContext_; }

    void FormCreate();
    void Timer1Timer() { loop_.Timer1Timer(); }
    void InicPrenos() { loop_.InicPrenos(); }
    void ShowScanResult() { loop_.ShowScanResult(); }
    void UpdateUnitCaptions();
    void B_ExitClick();
    // Opens the unit window of kind (a new one, or the open one again) and polls it.
    void openUnit(RequestKind kind);
    // The open unit windows.
    const UnitWindows& units() const { return units_; }
    void A_KonfigClick() { openEditor(EditorKind::Analog); }
    void B_KonfigClick() { openEditor(EditorKind::Binary); }

    PollingLoop& loop() { return loop_; }

    QPushButton* B_Monit1 = nullptr;
    QPushButton* B_Monit2 = nullptr;
    QPushButton* B_Monit4 = nullptr;
    QPushButton* B_MonitF = nullptr;
    QPushButton* B_Monit3 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* B_Konfig = nullptr;
    QPushButton* A_Konfig = nullptr;
    QPushButton* B_Exit = nullptr;
    QLineEdit* E_Stav = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* L_Err = nullptr;
    QWidget* PanelSize = nullptr;
    QFrame* Bevel1 = nullptr;
    QFrame* Bevel2 = nullptr;
    QFrame* Bevel4 = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    // The program ends with its main window: every other window closes with it, so nothing
    // goes on polling (or writing outputs) unseen.
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void openEditor(EditorKind kind);
    UnitWindow* createUnit(RequestKind kind);

    // LoopView
    std::string statusLine() const override;
    void setStatusLine(const std::string& text) override;
    void showProtocolError(const std::string& text) override;
    void hideProtocolError() override;
    void updateUnitCaptions() override { UpdateUnitCaptions(); }
    bool unitWindowOpen(RequestKind kind) const override;
    void showAnswer(const DecodeResult& result) override;
    void setTimerEnabled(bool enabled) override;
    void setTimerInterval(int ms) override;

    AppState& app_;
    ChannelAdapter& channel_;
    ToolSet& tools_;
    PollingLoop loop_;
    EditorContext editorContext_;
    EditorRunner editorRunner_;
    UnitWindows units_;  // the open unit windows, deleted with the main window
};

// The editor a button opens: TForm_Konmst (analog) or TForm_BKonmst (binary), run modally and
// freed. Returns the dialog's modal result.
int runConfigEditor(EditorKind kind, EditorContext& context, QWidget* parent);

}  // namespace velor
