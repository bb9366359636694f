#include "monitor/UnitWindows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRect>

#include "monitor/KaluWindow.h"
#include "monitor/MokrWindow.h"
#include "monitor/TevWindow.h"
#include "monitor/TevwWindow.h"
#include "monitor/TewWindow.h"
#include "monitor/UnitWindow.h"
#include "ui/Cp1250.h"

namespace velor {

UnitWindows::~UnitWindows() {
    // The loop state may already be gone: closing now must not reach it.
    monitoringStopped = nullptr;
    for (QPointer<UnitWindow>& w : open_) delete w.data();
}

TForm_Okno* UnitWindows::kalu() const {
    return static_cast<TForm_Okno*>(window(RequestKind::Kalu));
}
TForm_TEV* UnitWindows::tev() const {
    return static_cast<TForm_TEV*>(window(RequestKind::Tev));
}
TForm_TEVW* UnitWindows::tevw() const {
    return static_cast<TForm_TEVW*>(window(RequestKind::Tevw));
}
TForm_TEW* UnitWindows::tew() const {
    return static_cast<TForm_TEW*>(window(RequestKind::Tew));
}
TForm_MOKR* UnitWindows::mokr() const {
    return static_cast<TForm_MOKR*>(window(RequestKind::Mokr));
}

UnitWindow* UnitWindows::add(UnitWindow* window) {
    open_.at(static_cast<std::size_t>(window->kind())) = window;
    QObject::connect(window, &UnitWindow::closing, window,
                     [this, window](ScanReset reset) { closing(window, reset); });
    return window;
}

UnitWindow* UnitWindows::window(RequestKind kind) const {
    const auto k = static_cast<std::size_t>(kind);
    return k < open_.size() ? open_[k].data() : nullptr;
}

void UnitWindows::closing(UnitWindow* window, ScanReset reset) {
    QPointer<UnitWindow>& slot = open_.at(static_cast<std::size_t>(window->kind()));
    if (slot == window) slot = nullptr;
    if (monitoringStopped) monitoringStopped(reset);
}

void showAnswer(UnitWindows& windows, const DecodeResult& result) {
    if (UnitWindow* w = windows.window(result.kind)) w->showDecoded(result);
}

QString valueSetCaption(std::uint8_t set) {
    switch (set) {
        case kSetRisingEdge:
            return QStringLiteral("Vzestupná &hrana");
        case kSetFallingEdge:
            return QStringLiteral("Sestupná &hrana");
        default:
            return QStringLiteral("Perioda &pulzu");
    }
}

QString filterCaption(bool filterFlag) {
    return filterFlag ? QStringLiteral("Nefiltrovaný &vstup") : QStringLiteral("Filtrovaný &vstup");
}

std::uint8_t nextValueSet(std::uint8_t set) {
    if (set > kSetPulsePeriod) return set;
    return static_cast<std::uint8_t>((set + 1) % kValueSetCount);
}

std::string PadName(const std::string& name, std::size_t width) {
    std::string s = name.substr(0, width);
    s.resize(width, ' ');
    return s;
}

QString shownInputName(const std::string& name) {
    constexpr std::size_t kShownChars = 10;
    return cp1250ToQString(PadName(name, kShownChars));
}

QFont unitFormFont() {
    QFont f = QFontDatabase::hasFamily(QStringLiteral("Courier New CE"))
                  ? QFont(QStringLiteral("Courier New CE"), 10)
                  : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setBold(true);
    return f;
}

QColor unitColourValue(UnitColour colour, bool buttonFont) {
    if (colour == UnitColour::Active) return QColor::fromRgba(kActiveArgb);
    if (buttonFont || colour == UnitColour::WindowText)
        return QApplication::palette().color(QPalette::WindowText);
    return QApplication::palette("QMenu").color(QPalette::Window);
}

void showText(QLineEdit* edit, const std::string& text) {
    const QString shown = QString::fromStdString(text);
    if (edit->text() != shown) edit->setText(shown);
}

void paintEdit(QLineEdit* edit, UnitColour colour) {
    const QColor value = unitColourValue(colour, false);
    if (edit->testAttribute(Qt::WA_SetPalette) && edit->palette().color(QPalette::Base) == value)
        return;
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, value);
    edit->setPalette(p);
}

void paintButtonFont(QAbstractButton* button, UnitColour colour) {
    const QColor value = unitColourValue(colour, true);
    if (button->testAttribute(Qt::WA_SetPalette) &&
        button->palette().color(QPalette::ButtonText) == value)
        return;
    QPalette p = button->palette();
    p.setColor(QPalette::ButtonText, value);
    button->setPalette(p);
}

void showBinaryView(const BinaryView& view, std::span<QLineEdit* const> inputs,
                    std::span<QPushButton* const> outputs) {
    // A view never fills more controls than the window has.
    for (std::size_t i = 0; i < static_cast<std::size_t>(view.inputCount) && i < inputs.size();
         ++i) {
        showText(inputs[i], view.texts[i]);
        paintEdit(inputs[i], view.colours[i]);
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(view.outputCount) && i < outputs.size();
         ++i)
        paintButtonFont(outputs[i], view.outputFonts[i]);
}

QLineEdit* makeValueEdit(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(geometry);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    paintEdit(e, UnitColour::MenuColour);
    return e;
}

QPushButton* makeModeButton(QWidget* parent, const QString& name, const QString& caption,
                            const QRect& geometry) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
    return b;
}

QPushButton* makeOutputButton(QWidget* parent, const QString& name, const QString& caption,
                              const QRect& geometry) {
    auto* b = makeModeButton(parent, name, caption, geometry);
    paintButtonFont(b, UnitColour::WindowText);
    return b;
}

}  // namespace velor
