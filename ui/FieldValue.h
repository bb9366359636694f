#pragma once
// The values of the text-like fields (edits, spin edits, combo texts): the text a control
// shows for its variable, and the parse, range test and store of what the user left in it.
// Texts here are code page 1250 bytes; message texts are UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/FieldTable.h"

namespace velor {

enum class FieldCheck { Accepted, Invalid, Range };

struct FieldReadResult {
    FieldCheck check = FieldCheck::Accepted;
    std::string text1;  // the message to show when not accepted
    std::string text2;
};

// truncate(MaxValue) - 1, kept within 0..255: the characters a text field may hold.
int fieldTextCapacity(const FieldDescriptor& field);

// A 16-bit field declared with bounds above 32767 (and none below 0) holds its value as the
// unsigned 16-bit pattern and shows it as that unsigned number.
bool showsUnsigned16(const FieldDescriptor& field);

// The text of kinds 3, 6..12, 14..16 for their variable.
std::string fieldText(const FieldDescriptor& field);

// Reads the text back into the variable for kinds 3, 6..12, 14..16. The variable changes only
// when the result is Accepted.
FieldReadResult storeFieldText(const FieldDescriptor& field, std::string_view text);

// "Neplatné zadání" with the text as the user left it.
FieldReadResult invalidEntry(std::string_view text);

}  // namespace velor
