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
#include "monitor/RecordWindow.h"
#include "monitor/TevWindow.h"
#include "monitor/TevwWindow.h"
#include "monitor/TewWindow.h"

namespace velor {

UnitWindows::~UnitWindows() {
    // The loop state may already be gone: closing now must not reach it.
    monitoringStopped = nullptr;
    delete kalu;
    delete tev;
    delete tevw;
    delete tew;
    delete mokr;
    delete recording;
}

bool UnitWindows::isOpen(std::uint8_t kind) const {
    switch (kind) {
        case kDecodeKalu:
            return kalu != nullptr;
        case kDecodeTev:
            return tev != nullptr;
        case kDecodeTew:
            return tew != nullptr;
        case kDecodeTevw:
            return tevw != nullptr;
        case kDecodeMokr:
            return mokr != nullptr;
        default:
            return false;
    }
}

bool DeliverAnswer(UnitWindows& windows, std::uint8_t kind, std::span<const std::uint8_t> answer,
                   const KaluFormats& formats, UnitSelections& sel, DecoderState& st) {
    // A window closed while its request was on the way: nothing to show, nothing to flip.
    if (!windows.isOpen(kind)) return true;
    KaluOutputTexts outputs{};
    if (kind == kDecodeKalu) outputs = windows.kalu->outputTexts();

    const DecodeResult r = DecodeAnswer(kind, answer, formats, outputs, sel, st);
    if (!r.decoded) return false;
    switch (kind) {
        case kDecodeKalu:
            windows.kalu->showValues(r.kalu);
            break;
        case kDecodeTev:
            windows.tev->showAnswer(r.binary);
            break;
        case kDecodeTew:
            windows.tew->showAnswer(r.binary);
            break;
        case kDecodeTevw:
            windows.tevw->showAnswer(r.binary);
            break;
        default:
            windows.mokr->showAnswer(r.binary);
            break;
    }
    return true;
}

QString ValueSetCaption(std::uint8_t set) {
    switch (set) {
        case kSetRisingEdge:
            return QStringLiteral("Vzestupná &hrana");
        case kSetFallingEdge:
            return QStringLiteral("Sestupná &hrana");
        default:
            return QStringLiteral("Perioda &pulzu");
    }
}

QString FilterCaption(bool filterFlag) {
    return filterFlag ? QStringLiteral("Nefiltrovaný &vstup") : QStringLiteral("Filtrovaný &vstup");
}

std::uint8_t NextValueSet(std::uint8_t set) {
    if (set > kSetPulsePeriod) return set;
    return static_cast<std::uint8_t>((set + 1) % 3);
}

int ControlNumber(const QString& objectName) {
    const qsizetype cut = objectName.indexOf(QLatin1Char('_'));
    if (cut < 0) return -1;
    bool ok = false;
    const int n = objectName.mid(cut + 1).toInt(&ok);
    return ok ? n : -1;
}

std::string PadInputName(const std::string& name, std::size_t width) {
    std::string s = name.substr(0, width);
    s.resize(width, ' ');
    return s;
}

QFont UnitFormFont() {
    QFont f = QFontDatabase::hasFamily(QStringLiteral("Courier New CE"))
                  ? QFont(QStringLiteral("Courier New CE"), 10)
                  : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setBold(true);
    return f;
}

QColor UnitColourValue(UnitColour colour, bool buttonFont) {
    if (colour == UnitColour::Active) return QColor::fromRgba(kActiveArgb);
    if (buttonFont || colour == UnitColour::WindowText)
        return QApplication::palette().color(QPalette::WindowText);
    return QApplication::palette("QMenu").color(QPalette::Window);
}

void ShowText(QLineEdit* edit, const std::string& text) {
    const QString shown = QString::fromStdString(text);
    if (edit->text() != shown) edit->setText(shown);
}

void PaintEdit(QLineEdit* edit, UnitColour colour) {
    const QColor value = UnitColourValue(colour, false);
    if (edit->testAttribute(Qt::WA_SetPalette) && edit->palette().color(QPalette::Base) == value)
        return;
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, value);
    edit->setPalette(p);
}

void PaintButtonFont(QAbstractButton* button, UnitColour colour) {
    const QColor value = UnitColourValue(colour, true);
    if (button->testAttribute(Qt::WA_SetPalette) &&
        button->palette().color(QPalette::ButtonText) == value)
        return;
    QPalette p = button->palette();
    p.setColor(QPalette::ButtonText, value);
    button->setPalette(p);
}

void ShowBinaryView(const BinaryView& view, std::span<QLineEdit* const> inputs,
                    std::span<QPushButton* const> outputs) {
    // A view never fills more controls than the window has.
    for (std::size_t i = 0; i < static_cast<std::size_t>(view.inputCount) && i < inputs.size();
         ++i) {
        ShowText(inputs[i], view.texts[i]);
        PaintEdit(inputs[i], view.colours[i]);
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(view.outputCount) && i < outputs.size();
         ++i)
        PaintButtonFont(outputs[i], view.outputFonts[i]);
}

QLineEdit* MakeValueEdit(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(geometry);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    PaintEdit(e, UnitColour::MenuColour);
    return e;
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, const QRect& geometry,
                  const QColor& background) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, background);
    l->setPalette(p);
    return l;
}

QPushButton* MakeModeButton(QWidget* parent, const QString& name, const QString& caption,
                            const QRect& geometry) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
    return b;
}

QPushButton* MakeOutputButton(QWidget* parent, const QString& name, const QString& caption,
                              const QRect& geometry) {
    auto* b = MakeModeButton(parent, name, caption, geometry);
    PaintButtonFont(b, UnitColour::WindowText);
    return b;
}

}  // namespace velor
