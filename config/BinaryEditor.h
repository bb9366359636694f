#pragma once
// TForm_BKonmst: the modal editor of the binary modules' configuration (unit Mbkonmst). It
// shows 8 of the 64 inputs at a time under a scroll bar and has four send buttons, one per
// kind of module; otherwise it works like the analog editor.

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

#include "config/BinaryRecords.h"
#include "config/EditorCommon.h"
#include "config/EditorContext.h"

class QLabel;
class QPushButton;
class QScrollBar;
class QWidget;

namespace velor {

class TForm_BKonmst : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 718;
    static constexpr int kClientHeight = 402;
    static constexpr int kHelpContext = 107;
    static constexpr int kRows = 8;
    // The first input shown scrolls from 0 to the last page of the inputs.
    static constexpr int kMaxBase = static_cast<int>(kBinaryInputCount) - kRows;
    // Field numbers: the controls of row q carry base + q in their names (Edit_50 + q, ...);
    // the port and baud rate lists have one each.
    static constexpr int kRowLabelField = 10;
    static constexpr int kNameField = 50;
    static constexpr int kFilterLField = 150;
    static constexpr int kFilterHField = 200;
    static constexpr int kPortListField = 40;
    static constexpr int kBaudListField = 41;

    explicit TForm_BKonmst(EditorContext& context, QWidget* parent = nullptr);

    // The scroll position: the rows show the inputs base + 1 .. base + 8.
    int base() const { return base_; }

    // Event handlers, public so that tests drive them exactly as the controls do.
    void FormCreate();
    void FormActivate();
    bool FormCloseQuery();
    void ScrollBar1Scroll(int position);
    void ComboBox_40Change(int index);
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn6Click();
    void BitBtn7Click();
    void BrowseClick();

    QScrollBar* ScrollBar1 = nullptr;
    QLabel* L_Nastaveno = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QPushButton* BitBtn6 = nullptr;
    QPushButton* BitBtn7 = nullptr;
    QPushButton* Browse = nullptr;
    QWidget* PanelSize = nullptr;

    // Runs the close query; the dialog stays open when it refuses.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void createRows();
    void createDialogFields();
    void createButtons();
    void fillFieldTable(int base);
    void loadShadows();
    void storeShadows();
    void validateAsOk();
    void send(bool inputs, bool outputs, bool mokr, bool zepa);

    EditorContext& ctx_;
    int base_ = 0;  // shadows below belong to the inputs base_ + 1 .. base_ + 8
    bool activated_ = false;
    // Port, baud rate, the dialog's own delay and time-out, address and file.
    DialogFields dialog_{kPortListField, kBaudListField};
    std::array<std::int16_t, kRows> filterL16_{};
    std::array<std::int16_t, kRows> filterH16_{};
};

}  // namespace velor
