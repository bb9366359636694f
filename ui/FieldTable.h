#pragma once
// The table through which a dialog declares its fields: which numbered control, what kind of
// value, which variable, its bounds and list items. SetupForm/ValidateForm (FieldBinding.h)
// walk it; this header holds the data and the item-list helpers, free of widgets.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class QWidget;

namespace velor {

// Value kinds of a field.
enum FieldKind : std::uint8_t {
    kKindLabel = 0,            // caption from ItemList, red/blue for modes 4/5
    kKindListBox = 1,          // flags[0..499], one per item
    kKindComboIndex = 2,       // std::uint8_t item index
    kKindComboText = 3,        // short text
    kKindCheckBox = 4,         // std::uint8_t (or bool) 0/1
    kKindRadioGroup = 5,       // std::uint8_t item index
    kKindEditText = 6,         // short text, MaxValue = capacity + 1
    kKindEditBuffer = 7,       // NUL-terminated char buffer
    kKindEditDouble = 8,       // double
    kKindEditInt16 = 9,        // std::int16_t, empty refused
    kKindEditInt16Blank = 10,  // std::int16_t, empty = 32767
    kKindEditInt32 = 11,       // std::int32_t, empty refused
    kKindEditInt32Blank = 12,  // std::int32_t, empty = -2147483647
    kKindCaption = 13,         // caption from ItemList when not empty
    kKindSpinInt16 = 14,       // std::int16_t
    kKindEditFloat = 15,       // float, empty refused
    kKindEditFloatBlank = 16,  // float, empty = EmptyFloat
};

enum FieldMode : std::uint8_t {
    kModeNormal = 0,
    kModeDisabled = 1,
    kModePassword = 2,
    kModeHidden = 3,
    kModeRed = 4,
    kModeBlue = 5,
};

inline constexpr std::size_t kListFlagCount = 500;
inline constexpr std::size_t kFieldTableSize = 200;

// The bound variable. Each kind takes exactly one alternative (bool* also serves kind 4);
// a descriptor whose alternative does not fit its kind is a definition error.
using FieldData =
    std::variant<std::monostate, std::uint8_t*, bool*, std::int16_t*, std::int32_t*, float*,
                 double*, std::string*, std::span<char>, std::span<std::uint8_t>>;

struct FieldDescriptor {
    std::uint8_t ControlNo = 0;  // 0 ends the table
    std::uint8_t Kind = 0;
    std::uint8_t Mode = 0;
    FieldData Data;
    float MaxValue = 0;
    float MinValue = 0;
    // List kinds: items each followed by 0x01, list ended by 0x00. Kinds 0 and 13: a caption
    // (up to its first NUL). Code page 1250 bytes.
    std::string ItemList;
};

// The toolkit's state: one table shared by the modal dialogs, entries 1..200 (entry 0 unused).
struct FieldBindingState {
    std::array<FieldDescriptor, kFieldTableSize + 1> FieldTable{};
    bool FirstInvalidSeen = false;
    QWidget* FirstInvalidControl = nullptr;
};

// Empties the table (entry 1 becomes the end marker).
void clearFieldTable(FieldBindingState& state);
// Puts `field` after the last entry in use and the end marker after it. Returns its index
// (1..200), or 0 when the table is full.
std::size_t appendField(FieldBindingState& state, FieldDescriptor field);
// The entries in use: from 1 up to the end marker or entry 200.
std::size_t fieldCount(const FieldBindingState& state);

// Builds an item list from items (code page 1250 bytes).
std::string makeItemList(const std::vector<std::string>& items);
// The items of a list; a list missing its final 0x01 or 0x00 ends at the end of the bytes.
std::vector<std::string> listItems(std::string_view list);
// 0-based index of the first item equal to text (case-sensitive), or -1.
int ListItemIndex(std::string_view text, std::string_view list);
// A caption: the bytes up to the first NUL.
std::string captionText(std::string_view itemList);

// True when the descriptor's Data alternative is the one its kind needs.
bool dataFitsKind(const FieldDescriptor& field);

}  // namespace velor
