#pragma once
// Loads the numbered controls of a dialog from the variables the field table names, and
// reads them back with parsing, range tests and the user's messages.
//
// Controls are found by the number their objectName carries (ui/ControlNumber.h): "Edit_25"
// and "25" are field 25, "Edit_025" is not. Kinds map to: 0 and 13 any control with a caption,
// 1 QListWidget, 2 and 3 QComboBox, 4 QCheckBox, 5 RadioGroup, 6..12, 15, 16 QLineEdit,
// 14 QSpinBox.

#include <functional>

#include "ui/FieldTable.h"

class QDialog;
class QWidget;

namespace velor {

// What happens after "Chyba definice formulare": by default the program ends at once. Tests
// install their own hook; when the hook returns, the operation stops where it was. Returns
// the previous hook; an empty hook restores the default.
using FormEndHook = std::function<void()>;
FormEndHook setFormEndHook(FormEndHook hook);

// The form's widget for `number`, searching children depth first in creation order. None
// found: the definition-error message, then the end hook; returns nullptr if that returns.
QWidget* FindFieldControl(QWidget& form, int number);

// Loads every control of the table from its variable.
void SetupForm(FieldBindingState& state, QWidget& form);

// Reads every control back unless the dialog's result is kModalNone or kModalCancel. Each
// refused field gives one message and keeps its variable; ok ends false if any was refused,
// and state.FirstInvalidControl names the first refused control. The focus is not moved: a
// check run on a click elsewhere must not pull the user away from the field being typed in;
// the close query gives the focus to FirstInvalidControl.
void ValidateForm(FieldBindingState& state, QDialog& form, bool& ok);

}  // namespace velor
