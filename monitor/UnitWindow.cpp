#include "monitor/UnitWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/ControlNumber.h"
#include "ui/Labels.h"

namespace velor {

UnitWindow::UnitWindow(RequestKind kind, const QString& name, const QString& caption, QSize size,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::Dialog), kind_(kind) {
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);
    setFont(unitFormFont());
    setFixedSize(size);
}

void UnitWindow::closeEvent(QCloseEvent* event) {
    reportClosing(closeReset());
    event->accept();
}

void UnitWindow::reportClosing(ScanReset reset) {
    closed_ = true;
    emit closing(reset);
}

QLabel* UnitWindow::addTypePlate(const QString& text, const QRect& geometry) {
    return makeLabel(this, text, geometry, QStringLiteral("Label13"), Qt::lightGray);
}

int UnitWindow::clickedNumber() const {
    return controlNumber(sender() ? sender()->objectName() : QString());
}

ValueSetWindow::ValueSetWindow(RequestKind kind, std::uint8_t& inputSet, bool& filterFlag,
                               const QString& name, const QString& caption, QSize size,
                               QWidget* parent)
    : UnitWindow(kind, name, caption, size, parent), inputSet_(inputSet), filterFlag_(filterFlag) {}

void ValueSetWindow::addInput(int n, int x, int y, int nameY) {
    QLineEdit* edit =
        makeValueEdit(this, QStringLiteral("Edit_%1").arg(n), QRect(x, y, kInputEditWidth, 24));
    edit->setAlignment(Qt::AlignRight);
    inputs_.push_back(edit);
    names_.push_back(makeLabel(this, QString(), QRect(x, nameY, kInputEditWidth, 20),
                               QStringLiteral("Label_%1").arg(n), Qt::green));
}

void ValueSetWindow::addInputRow(int first, int right, int y, int nameY) {
    for (int i = 0; i < kInputsPerRow; ++i)
        addInput(first + i, right - kInputEditWidth - kInputStep * i, y, nameY);
}

QPushButton* ValueSetWindow::addOutput(const QString& name, int index, int x, int y) {
    outputs_.push_back(
        makeOutputButton(this, name, QStringLiteral("Y &%1").arg(index), QRect(x, y, 40, 30)));
    return outputs_.back();
}

void ValueSetWindow::addModeButtons(int y) {
    setButton_ = makeModeButton(this, QStringLiteral("BitBtn1"), QString(), QRect(10, y, 193, 37));
    filterButton_ =
        makeModeButton(this, QStringLiteral("BitBtn2"), QString(), QRect(220, y, 193, 37));
    connect(setButton_, &QPushButton::clicked, this, &ValueSetWindow::BitBtn1Click);
    connect(filterButton_, &QPushButton::clicked, this, &ValueSetWindow::BitBtn2Click);
    refreshCaptions();
}

void ValueSetWindow::showAnswer(const BinaryView& view) {
    showBinaryView(view, inputs_, outputs_);
    refreshCaptions();
}

void ValueSetWindow::prepareToOpen(const ConfigState& config) {
    inputSet_ = 1;
    filterFlag_ = false;
    // A reused window still names the set and filter it had; name the ones now in force.
    refreshCaptions();
    for (std::size_t i = 0; i < names_.size(); ++i)
        names_[i]->setText(shownInputName(config.BinaryConfig.Inputs.at(i).Name));
}

void ValueSetWindow::refreshCaptions() {
    setButton_->setText(valueSetCaption(inputSet_));
    filterButton_->setText(filterCaption(filterFlag_));
}

void ValueSetWindow::BitBtn1Click() {
    inputSet_ = nextValueSet(inputSet_);
    refreshCaptions();
}

void ValueSetWindow::BitBtn2Click() {
    filterFlag_ = !filterFlag_;
    refreshCaptions();
}

}  // namespace velor
