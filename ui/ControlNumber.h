#pragma once
// The number a dialog control carries in its object name. The field binding finds a field's
// control by it, and a handler shared by a row of controls tells them apart by it.

class QString;

namespace velor {

// The text after the first '_' of the name (the whole name when it has none), read as a
// number written in decimal without sign or leading zeros: "Edit_25" and "25" carry 25,
// "Edit_0" carries 0; "Edit_025", "Edit_+25", "Edit_ 25", "Edit_" and "BitBtn1" carry none.
// -1 when it carries none.
int controlNumber(const QString& objectName);

}  // namespace velor
