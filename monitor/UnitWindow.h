#pragma once
// What the five unit windows share: the look of a unit window, its caption with the status
// line, the closing it reports to the main window (which keeps the registry of the open ones),
// and, for TEV, TEVW and MOKR, the input fields with their names and the value-set and filter
// buttons.

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comm/RequestKind.h"
#include "config/ConfigState.h"
#include "modules/AnswerDecoder.h"
#include "monitor/UnitWindows.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace velor {

// The input fields of TEV, TEVW and MOKR: their width and the step from one to the next.
inline constexpr int kInputEditWidth = 80;
inline constexpr int kInputStep = 90;
// The inputs of a value-set window sit eight to a row.
inline constexpr int kInputsPerRow = 8;
// A row of eight inputs with a margin of 10 at either side: the width of TEV and TEVW.
inline constexpr int kInputRowWidth = kInputsPerRow * kInputStep + 20;

class UnitWindow : public QWidget {
    Q_OBJECT
public:
    RequestKind kind() const { return kind_; }
    void setStatusCaption(const QString& caption) { setWindowTitle(caption); }

    // Paints a decoded answer of the window's kind.
    virtual void showDecoded(const DecodeResult& result) = 0;
    // Before the window is shown for monitoring: the selections it starts from and the names
    // of the configuration.
    virtual void prepareToOpen(const ConfigState& config) = 0;

signals:
    // The window closes (or goes without having been closed): the loop stops monitoring it.
    void closing(velor::ScanReset reset);

protected:
    // A dialog-like window of its own, deleted when closed, with the unit windows' font.
    UnitWindow(RequestKind kind, const QString& name, const QString& caption, QSize size,
               QWidget* parent);
    void closeEvent(QCloseEvent* event) override;
    // What the address scan forgets when the window closes.
    virtual ScanReset closeReset() const { return ScanReset::AddressAndFlags; }
    // Reports closing() once.
    void reportClosing(ScanReset reset);
    bool closingReported() const { return closed_; }
    // Label13: the module's type plate, grey on the window.
    QLabel* addTypePlate(const QString& text, const QRect& geometry);
    // The number in the name of the control whose click is handled (-1 without one): a row
    // of buttons shares one handler.
    int clickedNumber() const;

private:
    RequestKind kind_;
    bool closed_ = false;
};

// TEV, TEVW and MOKR: counters of the inputs coloured by their states, a value-set and a
// filter button (BitBtn1, BitBtn2) over the selections of the window's kind.
class ValueSetWindow : public UnitWindow {
    Q_OBJECT
public:
    QLineEdit* inputEdit(int n) const { return inputs_.at(n - 1); }        // Edit_1 ..
    QLabel* inputLabel(int n) const { return names_.at(n - 1); }           // Label_1 ..
    QPushButton* outputButton(int n) const { return outputs_.at(n - 1); }  // when it has outputs

    void showAnswer(const BinaryView& view);
    void showDecoded(const DecodeResult& result) override { showAnswer(result.binary); }
    // Value set 1, unfiltered, the inputs named after the binary configuration.
    void prepareToOpen(const ConfigState& config) override;
    // The two mode buttons name the value set and filter of the selections.
    void refreshCaptions();

public slots:
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    ValueSetWindow(RequestKind kind, std::uint8_t& inputSet, bool& filterFlag, const QString& name,
                   const QString& caption, QSize size, QWidget* parent);
    // Input n (1-based): its field at x, y and its name below it at x, nameY.
    void addInput(int n, int x, int y, int nameY);
    // Inputs first .. first + 7 numbered from the right, the first one ending at right.
    void addInputRow(int first, int right, int y, int nameY);
    // Output button name showing "Y &index" at x, y; the window connects its click.
    QPushButton* addOutput(const QString& name, int index, int x, int y);
    // The value-set button at (10, y), the filter button at (220, y).
    void addModeButtons(int y);

    std::vector<QLineEdit*> inputs_;
    std::vector<QLabel*> names_;
    std::vector<QPushButton*> outputs_;

private:
    std::uint8_t& inputSet_;
    bool& filterFlag_;
    QPushButton* setButton_ = nullptr;
    QPushButton* filterButton_ = nullptr;
};

}  // namespace velor
