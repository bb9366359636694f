#include "monitor/KaluWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>

#include "ui/Labels.h"

namespace velor {

namespace {

constexpr int kClientWidth = 641;
constexpr int kClientHeight = 322;
constexpr int kEditWidth = 70;
constexpr int kEditHeight = 24;
constexpr int kStep = 90;
// Six inputs to a row.
constexpr int kRowInputs = static_cast<int>(kKaluInputs) / 2;
// Output k is the field Edit_(20 + k) with the label Label(20 + k).
constexpr int kFirstOutputField = 20;
constexpr int kLastOutputField = kFirstOutputField + static_cast<int>(kKaluOutputs) - 1;
// Inputs and outputs are numbered from the right edge leftwards.
constexpr int kRightX = kClientWidth - 10 - kEditWidth;

int columnX(int column) {
    return kRightX - kStep * column;
}

QFont arialBold(int pointSize) {
    QFont f(QStringLiteral("Arial"), pointSize);
    f.setBold(true);
    return f;
}

}  // namespace

TForm_Okno::TForm_Okno(UnitSelections& sel, std::uint8_t variant, QWidget* parent)
    : UnitWindow(RequestKind::Kalu, QStringLiteral("Form_Okno"), QStringLiteral("Jednotka  KALU"),
                 QSize(kClientWidth, kClientHeight), parent),
      sel_(sel) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel_zadani"));
    panel->setGeometry(0, 0, kClientWidth, 321);

    buildInputs();
    // A new window starts with empty output fields: no text of an earlier one is sent.
    sel_.KaluTypedOutputs.fill(std::string());
    buildOutputs();
    variant_ = addTypePlate(
        variant == 1 ? QStringLiteral("  KALU -  12      ") : QStringLiteral("  KALU -  11      "),
        QRect(220, 140, 200, 30));
    variant_->setFont(arialBold(14));
}

void TForm_Okno::buildInputs() {
    for (std::size_t i = 0; i < kKaluInputs; ++i) {
        const int n = static_cast<int>(i) + 1;
        const bool top = n > kRowInputs;  // Edit7 .. Edit12 on top, names under them
        const int x = columnX(top ? n - kRowInputs - 1 : n - 1);
        const int editY = top ? 10 : 224;
        const int labelY = top ? 36 : 200;
        inputs_[i] = makeValueEdit(this, QStringLiteral("Edit%1").arg(n),
                                   QRect(x, editY, kEditWidth, kEditHeight));
        inputs_[i]->setAlignment(Qt::AlignRight);
        names_[i] = makeLabel(this, QString(), QRect(x, labelY, kEditWidth, 20),
                              QStringLiteral("Label%1").arg(n), Qt::green);
        names_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        names_[i]->setFont(arialBold(8));
    }
}

void TForm_Okno::buildOutputs() {
    for (std::size_t k = 0; k < kKaluOutputs; ++k) {
        // Edit_22 .. Edit_25 from the right under the top inputs; Edit_20, Edit_21 bottom left.
        const bool upper = k >= 2;
        const int x = upper ? columnX(static_cast<int>(k) - 2) : (k == 0 ? 100 : 10);
        const int editY = upper ? 66 : 260;
        auto* e = new QLineEdit(this);
        const int field = kFirstOutputField + static_cast<int>(k);
        e->setObjectName(QStringLiteral("Edit_%1").arg(field));
        e->setGeometry(x, editY, kEditWidth, kEditHeight);
        connect(e, &QLineEdit::textChanged, this, &TForm_Okno::Edit_25Change);
        outputs_[k] = e;
        outputNames_[k] = makeLabel(this, QString(), QRect(x, editY + 26, kEditWidth + 10, 20),
                                    QStringLiteral("Label%1").arg(field), Qt::blue);
        outputNames_[k]->setStyleSheet(QStringLiteral("color: white;"));
    }
}

TForm_Okno::~TForm_Okno() {
    // FormDestroy: a window destroyed without being closed still ends the monitoring.
    if (!closingReported()) reportClosing(ScanReset::AddressOnly);
}

void TForm_Okno::prepareToOpen(const ConfigState& config) {
    slotNumber = 1;
    for (std::size_t i = 0; i < kKaluInputs; ++i)
        names_[i]->setText(shownInputName(config.AnalogConfig.Inputs.at(i).Name));
    for (std::size_t k = 0; k < kKaluOutputs; ++k)
        outputNames_[k]->setText(QStringLiteral("OUT č.  %1  ").arg(k));
}

void TForm_Okno::showValues(const KaluView& view) {
    for (std::size_t i = 0; i < inputs_.size(); ++i) showText(inputs_[i], view.values[i]);
}

void TForm_Okno::Edit_25Change() {
    const int number = clickedNumber();
    if (number < kFirstOutputField || number > kLastOutputField) return;
    const auto k = static_cast<std::size_t>(number - kFirstOutputField);
    QLineEdit* edit = outputs_[k];
    // Only a value above the range is corrected; the decoding sends the low byte of the rest.
    if (parseOutputValue(edit->text().toStdString()) > 255) edit->setText(QStringLiteral("255"));
    sel_.KaluTypedOutputs.at(k) = edit->text().toStdString();
}

void TForm_Okno::showEvent(QShowEvent* event) {
    // The window opens centred over the window it was opened from, which is the active one
    // when the user asks for it; a window moved by the user keeps its place when shown again.
    QWidget* opener = QApplication::activeWindow();
    if (!placed_ && opener != nullptr && opener != this) {
        QRect frame = frameGeometry();
        frame.moveCenter(opener->frameGeometry().center());
        move(frame.topLeft());
    }
    placed_ = true;
    QWidget::showEvent(event);
}

}  // namespace velor
