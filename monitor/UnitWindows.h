#pragma once
// The open unit windows (at most one of each kind) and what they share: the registry the
// main window owns and each window clears when it closes, the delivery of a decoded answer to
// the window of the polled kind, and the look common to all five.

#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "modules/AnswerDecoder.h"
#include "modules/UnitSelections.h"

class QAbstractButton;
class QColor;
class QFont;
class QLabel;
class QLineEdit;
class QPushButton;
class QRect;
class QWidget;

namespace velor {

class TForm_Okno;
class TForm_TEV;
class TForm_TEVW;
class TForm_TEW;
class TForm_MOKR;

// What a closing unit window does to the address scan besides ending the monitoring: the
// KALU window only restarts the scan at address 0, the binary and CPU windows also forget
// the addresses found.
enum class ScanReset { AddressOnly, AddressAndFlags };

class UnitWindow;

// The kinds of unit window: the request kinds KALU..MOKR.
inline constexpr std::size_t kUnitKinds = 5;

// The open unit windows, at most one of each kind. The main window owns it: it adds each
// window it opens, and a window's closing takes it out and ends the monitoring.
class UnitWindows {
public:
    TForm_Okno* kalu() const;  // the one slot of the KALU window table
    TForm_TEV* tev() const;
    TForm_TEVW* tevw() const;
    TForm_TEW* tew() const;
    TForm_MOKR* mokr() const;

    // Set by the main window: MonitoredKind := 5, ScanAddress := 0 and, for AddressAndFlags,
    // the address-found flags cleared.
    std::function<void(ScanReset)> monitoringStopped;

    UnitWindows() = default;
    UnitWindows(const UnitWindows&) = delete;
    UnitWindows& operator=(const UnitWindows&) = delete;
    // Deletes the windows still open, without touching the loop state any more.
    ~UnitWindows();

    // Takes window as the open window of its kind and listens for its closing.
    UnitWindow* add(UnitWindow* window);
    UnitWindow* window(RequestKind kind) const;
    bool isOpen(RequestKind kind) const { return window(kind) != nullptr; }

private:
    void closing(UnitWindow* window, ScanReset reset);

    std::array<QPointer<UnitWindow>, kUnitKinds> open_;  // by request kind
};

// Name of binary input n (1..64) of the binary configuration, code page 1250 bytes.
using BinaryInputNames = std::function<std::string(int n)>;

// Paints a decoded answer into the window of its kind, when that window is open. The other
// windows keep their values.
void showAnswer(UnitWindows& windows, const DecodeResult& result);

// Captions of the value-set and filter buttons for the set or flag shown.
QString valueSetCaption(std::uint8_t set);
QString filterCaption(bool filterFlag);
// One step of the value-set button: 0 -> 1 -> 2 -> 0; any other value stays.
std::uint8_t nextValueSet(std::uint8_t set);

// The first `width` characters of a name, or the name blank-padded to `width`.
std::string PadName(const std::string& name, std::size_t width);
// An input's name (code page 1250) as the labels under the unit windows' fields show it: its
// first ten characters.
QString shownInputName(const std::string& name);

// Look shared by the unit windows.
QFont unitFormFont();
QColor unitColourValue(UnitColour colour, bool buttonFont);
// Polled values mostly come back unchanged: these leave a control alone when it already
// shows the text or colour, since every real set re-lays the text and repaints.
void showText(QLineEdit* edit, const std::string& text);
void paintEdit(QLineEdit* edit, UnitColour colour);
void paintButtonFont(QAbstractButton* button, UnitColour colour);
// Input texts and colours, then output button fonts, of a binary view (TEV, TEVW, TEW, MOKR).
void showBinaryView(const BinaryView& view, std::span<QLineEdit* const> inputs,
                    std::span<QPushButton* const> outputs);
QLineEdit* makeValueEdit(QWidget* parent, const QString& name, const QRect& geometry);
QPushButton* makeModeButton(QWidget* parent, const QString& name, const QString& caption,
                            const QRect& geometry);
QPushButton* makeOutputButton(QWidget* parent, const QString& name, const QString& caption,
                              const QRect& geometry);

}  // namespace velor
