#include "ui/FieldBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "ui/ControlNumber.h"
#include "ui/Cp1250.h"
#include "ui/Cp1250Validator.h"
#include "ui/FieldValue.h"
#include "ui/MessageService.h"
#include "ui/ModalResult.h"
#include "ui/RadioGroup.h"

namespace velor {
namespace {

FormEndHook gEndHook;

void endProgram() {
    if (gEndHook) {
        gEndHook();
        return;
    }
    // A dialog declared with a control it does not have is the program's own fault; there is
    // nothing sensible to go on with.
    QCoreApplication::exit(1);
    std::exit(1);
}

void definitionError() {
    ShowMessageWindow("Chyba definice formulare", "", 2, 1);
    endProgram();
}

QStringList itemsOf(const FieldDescriptor& field) {
    QStringList out;
    for (const std::string& item : listItems(field.ItemList)) out << cp1250ToQString(item);
    return out;
}

bool setCaption(QWidget* w, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(text);
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
        box->setTitle(text);
    } else {
        return w->setProperty("text", text);
    }
    return true;
}

void setCaptionColour(QWidget* w, std::uint8_t mode) {
    if (mode != kModeRed && mode != kModeBlue) return;
    QPalette pal = w->palette();
    const QColor colour = mode == kModeRed ? QColor(Qt::red) : QColor(Qt::blue);
    pal.setColor(QPalette::WindowText, colour);
    pal.setColor(QPalette::ButtonText, colour);
    w->setPalette(pal);
}

template <class T>
T* dataOf(const FieldDescriptor& field) {
    auto* p = std::get_if<T*>(&field.Data);
    return p ? *p : nullptr;
}

void setupListBox(const FieldDescriptor& field, QListWidget* list) {
    const auto flags = std::get<std::span<std::uint8_t>>(field.Data);
    list->clear();
    list->addItems(itemsOf(field));
    const int n = std::min(list->count(), static_cast<int>(flags.size()));
    if (list->selectionMode() == QAbstractItemView::SingleSelection) {
        int last = -1;
        for (int i = 0; i < n; ++i) {
            if (flags[i] != 0) last = i;
        }
        if (list->count() > 0) list->setCurrentRow(last >= 0 ? last : 0);
        return;
    }
    for (int i = 0; i < n; ++i) list->item(i)->setSelected(flags[i] != 0);
}

void setupCombo(const FieldDescriptor& field, QComboBox* combo) {
    combo->clear();
    combo->addItems(itemsOf(field));
    if (field.Kind == kKindComboIndex) {
        combo->setCurrentIndex(*dataOf<std::uint8_t>(field));
        return;
    }
    const QString text = cp1250ToQString(*dataOf<std::string>(field));
    if (combo->isEditable()) {
        combo->setEditText(text);
    } else {
        combo->setCurrentIndex(combo->findText(text));
    }
}

void setupCheckBox(const FieldDescriptor& field, QAbstractButton* box) {
    const bool* b = dataOf<bool>(field);
    const bool ticked = b ? *b : *dataOf<std::uint8_t>(field) != 0;
    if (box->isChecked() == ticked) return;
    box->setChecked(ticked);
    emit box->clicked(ticked);  // handlers react to a loaded state as to the user's click
}

void setupLineEdit(const FieldDescriptor& field, QLineEdit* edit) {
    if (field.Kind == kKindEditText || field.Kind == kKindEditBuffer) {
        edit->setMaxLength(std::max(fieldTextCapacity(field), 0));
        if (edit->validator() == nullptr) edit->setValidator(new Cp1250Validator(edit));
        const bool password = field.Mode == kModePassword;
        edit->setEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
        if (password) edit->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");
    }
    edit->setText(cp1250ToQString(fieldText(field)));
}

int nearestWhole(float v) {
    const double r = std::round(static_cast<double>(v));
    return static_cast<int>(std::clamp(r, double{std::numeric_limits<int>::min()},
                                       double{std::numeric_limits<int>::max()}));
}

void setupSpinBox(const FieldDescriptor& field, QSpinBox* spin) {
    spin->setRange(nearestWhole(field.MinValue), nearestWhole(field.MaxValue));
    const QString text = cp1250ToQString(fieldText(field));
    spin->setValue(text.toInt());
    // A value outside the spin bounds is shown as it is, so that reading it back refuses it
    // instead of storing the clamped number.
    if (spin->cleanText() != text) {
        if (auto* inner = spin->findChild<QLineEdit*>()) inner->setText(text);
    }
}

// Loads one control; false when the control is not of the class its kind needs.
bool setupControl(const FieldDescriptor& field, QWidget* w) {
    switch (field.Kind) {
        case kKindLabel:
            setCaptionColour(w, field.Mode);
            return setCaption(w, cp1250ToQString(captionText(field.ItemList)));
        case kKindCaption: {
            const std::string caption = captionText(field.ItemList);
            return caption.empty() || setCaption(w, cp1250ToQString(caption));
        }
        case kKindListBox:
            if (auto* list = qobject_cast<QListWidget*>(w)) return setupListBox(field, list), true;
            return false;
        case kKindComboIndex:
        case kKindComboText:
            if (auto* combo = qobject_cast<QComboBox*>(w)) return setupCombo(field, combo), true;
            return false;
        case kKindCheckBox:
            if (auto* box = qobject_cast<QAbstractButton*>(w))
                return setupCheckBox(field, box), true;
            return false;
        case kKindRadioGroup:
            if (auto* radio = qobject_cast<RadioGroup*>(w)) {
                radio->setItemIndex(*dataOf<std::uint8_t>(field));
                return true;
            }
            return false;
        case kKindSpinInt16:
            if (auto* spin = qobject_cast<QSpinBox*>(w)) return setupSpinBox(field, spin), true;
            return false;
        default:
            if (auto* edit = qobject_cast<QLineEdit*>(w)) return setupLineEdit(field, edit), true;
            return false;
    }
}

FieldReadResult readListBox(const FieldDescriptor& field, QListWidget* list) {
    const auto flags = std::get<std::span<std::uint8_t>>(field.Data);
    const int n = std::min(list->count(), static_cast<int>(flags.size()));
    const bool single = list->selectionMode() == QAbstractItemView::SingleSelection;
    for (int i = 0; i < n; ++i) flags[i] = !single && list->item(i)->isSelected() ? 1 : 0;
    // No current item reads as nothing selected.
    const int cur = list->currentRow();
    if (single && cur >= 0 && cur < n) flags[cur] = 1;
    return {};
}

FieldReadResult readComboIndex(const FieldDescriptor& field, QComboBox* combo) {
    int index = combo->currentIndex();
    // A typed text that is no item's text counts as "no item chosen".
    if (combo->isEditable() && index >= 0 && combo->currentText() != combo->itemText(index)) {
        index = -1;
    }
    const std::string text = qStringToCp1250(combo->currentText());
    if (index < 0) index = ListItemIndex(text, field.ItemList);
    if (index < 0 || index > 255) return invalidEntry(text);
    *dataOf<std::uint8_t>(field) = static_cast<std::uint8_t>(index);
    return {};
}

QString textOf(QWidget* w) {
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* spin = qobject_cast<QSpinBox*>(w)) return spin->cleanText();
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText();
    return {};
}

FieldReadResult readControl(const FieldDescriptor& field, QWidget* w) {
    switch (field.Kind) {
        case kKindListBox:
            return readListBox(field, qobject_cast<QListWidget*>(w));
        case kKindComboIndex:
            return readComboIndex(field, qobject_cast<QComboBox*>(w));
        case kKindCheckBox: {
            const bool ticked = qobject_cast<QAbstractButton*>(w)->isChecked();
            if (bool* b = dataOf<bool>(field)) {
                *b = ticked;
            } else {
                *dataOf<std::uint8_t>(field) = ticked ? 1 : 0;
            }
            return {};
        }
        case kKindRadioGroup: {
            const int index = qobject_cast<RadioGroup*>(w)->itemIndex();
            // Nothing chosen leaves the variable as it was.
            if (index >= 0) *dataOf<std::uint8_t>(field) = static_cast<std::uint8_t>(index);
            return {};
        }
        default:
            return storeFieldText(field, qStringToCp1250(textOf(w)));
    }
}

bool isSkipped(const FieldDescriptor& field) {
    return field.Kind > kKindEditFloatBlank;
}

bool controlFitsKind(std::uint8_t kind, QWidget* w) {
    switch (kind) {
        case kKindLabel:
        case kKindCaption:
            return true;
        case kKindListBox:
            return qobject_cast<QListWidget*>(w) != nullptr;
        case kKindComboIndex:
        case kKindComboText:
            return qobject_cast<QComboBox*>(w) != nullptr;
        case kKindCheckBox:
            return qobject_cast<QAbstractButton*>(w) != nullptr;
        case kKindRadioGroup:
            return qobject_cast<RadioGroup*>(w) != nullptr;
        case kKindSpinInt16:
            return qobject_cast<QSpinBox*>(w) != nullptr;
        default:
            return qobject_cast<QLineEdit*>(w) != nullptr;
    }
}

// The control of a table entry, its class and variable checked against the kind; nullptr
// after a definition error.
QWidget* boundControl(QWidget& form, const FieldDescriptor& field) {
    QWidget* w = FindFieldControl(form, field.ControlNo);
    if (w == nullptr) return nullptr;
    if (!dataFitsKind(field) || !controlFitsKind(field.Kind, w)) {
        definitionError();
        return nullptr;
    }
    return w;
}

}  // namespace

FormEndHook setFormEndHook(FormEndHook hook) {
    FormEndHook old = std::move(gEndHook);
    gEndHook = std::move(hook);
    return old;
}

QWidget* FindFieldControl(QWidget& form, int number) {
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (controlNumber(w->objectName()) == number) return w;
    }
    definitionError();
    return nullptr;
}

void SetupForm(FieldBindingState& state, QWidget& form) {
    for (std::size_t i = 1; i <= kFieldTableSize && state.FieldTable[i].ControlNo != 0; ++i) {
        const FieldDescriptor& field = state.FieldTable[i];
        if (isSkipped(field)) continue;
        QWidget* w = boundControl(form, field);
        if (w == nullptr) return;
        w->setEnabled(true);
        w->setVisible(field.Mode != kModeHidden);
        if (field.Mode == kModeDisabled) w->setEnabled(false);
        if (field.Mode == kModeHidden) continue;
        if (!setupControl(field, w)) return definitionError();
    }
}

void ValidateForm(FieldBindingState& state, QDialog& form, bool& ok) {
    state.FirstInvalidSeen = false;
    state.FirstInvalidControl = nullptr;
    ok = true;
    if (form.result() == kModalNone || form.result() == kModalCancel) return;
    for (std::size_t i = 1; i <= kFieldTableSize && state.FieldTable[i].ControlNo != 0; ++i) {
        const FieldDescriptor& field = state.FieldTable[i];
        if (isSkipped(field)) continue;
        QWidget* w = boundControl(form, field);
        if (w == nullptr) {
            ok = false;
            return;
        }
        if (field.Mode == kModeHidden || field.Kind == kKindLabel || field.Kind == kKindCaption) {
            continue;
        }
        const FieldReadResult r = readControl(field, w);
        if (r.check != FieldCheck::Accepted) {
            ShowMessageWindow(r.text1, r.text2, 2, 1);
            ok = false;
        }
        if (!ok && !state.FirstInvalidSeen) {
            state.FirstInvalidSeen = true;
            state.FirstInvalidControl = w;
        }
    }
}

}  // namespace velor
