#include "ui/FieldTable.h"

namespace velor {

void clearFieldTable(FieldBindingState& state) {
    state.FieldTable.fill(FieldDescriptor{});
}

std::size_t fieldCount(const FieldBindingState& state) {
    std::size_t n = 0;
    while (n < kFieldTableSize && state.FieldTable[n + 1].ControlNo != 0) ++n;
    return n;
}

std::size_t appendField(FieldBindingState& state, FieldDescriptor field) {
    const std::size_t index = fieldCount(state) + 1;
    if (index > kFieldTableSize) return 0;
    state.FieldTable[index] = std::move(field);
    if (index < kFieldTableSize) state.FieldTable[index + 1] = FieldDescriptor{};
    return index;
}

std::string makeItemList(const std::vector<std::string>& items) {
    std::string list;
    for (const std::string& item : items) {
        list += item;
        list += '\x01';
    }
    list += '\0';
    return list;
}

std::vector<std::string> listItems(std::string_view list) {
    std::vector<std::string> items;
    std::size_t pos = 0;
    while (pos < list.size() && list[pos] != '\0') {
        std::size_t end = list.find('\x01', pos);
        if (end == std::string_view::npos) end = list.size();
        items.emplace_back(list.substr(pos, end - pos));
        pos = end + 1;
    }
    return items;
}

int ListItemIndex(std::string_view text, std::string_view list) {
    const std::vector<std::string> items = listItems(list);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == text) return static_cast<int>(i);
    }
    return -1;
}

std::string captionText(std::string_view itemList) {
    return std::string(itemList.substr(0, itemList.find('\0')));
}

bool dataFitsKind(const FieldDescriptor& field) {
    const FieldData& d = field.Data;
    switch (field.Kind) {
        case kKindLabel:
        case kKindCaption:
            return true;
        case kKindListBox:
            return std::holds_alternative<std::span<std::uint8_t>>(d);
        case kKindComboIndex:
        case kKindRadioGroup:
            return std::holds_alternative<std::uint8_t*>(d);
        case kKindCheckBox:
            return std::holds_alternative<std::uint8_t*>(d) || std::holds_alternative<bool*>(d);
        case kKindComboText:
        case kKindEditText:
            return std::holds_alternative<std::string*>(d);
        case kKindEditBuffer:
            return std::holds_alternative<std::span<char>>(d);
        case kKindEditDouble:
            return std::holds_alternative<double*>(d);
        case kKindEditInt16:
        case kKindEditInt16Blank:
        case kKindSpinInt16:
            return std::holds_alternative<std::int16_t*>(d);
        case kKindEditInt32:
        case kKindEditInt32Blank:
            return std::holds_alternative<std::int32_t*>(d);
        case kKindEditFloat:
        case kKindEditFloatBlank:
            return std::holds_alternative<float*>(d);
        default:
            return true;  // kinds above 16 are skipped anyway
    }
}

}  // namespace velor
