#include "ui/FieldValue.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ui/Cp1250.h"
#include "ui/NumberText.h"

namespace velor {
namespace {

const char* const kInvalidEntry = "Neplatné zadání";
const char* const kRangeText = "Překročen povolený rozsah u položky: ";

FieldReadResult rangeError(const std::string& valueText, const FieldDescriptor& field) {
    return {FieldCheck::Range, kRangeText + valueText,
            "Min.hodnota: " + FloatToText(field.MinValue) + " " +
                "Max.hodnota: " + FloatToText(field.MaxValue)};
}

// The refused number as typed: IntToField would blank a typed 32767.
FieldReadResult intRangeError(std::int64_t v, const FieldDescriptor& field) {
    return rangeError(std::to_string(v), field);
}

bool withinBounds(double v, const FieldDescriptor& field) {
    return v >= static_cast<double>(field.MinValue) && v <= static_cast<double>(field.MaxValue);
}

std::string cutTo(std::string_view text, const FieldDescriptor& field) {
    return std::string(text.substr(0, static_cast<std::size_t>(fieldTextCapacity(field))));
}

std::string bufferText(std::span<const char> buf) {
    const auto end = std::find(buf.begin(), buf.end(), '\0');
    return std::string(buf.begin(), end);
}

FieldReadResult storeInt16(const FieldDescriptor& field, std::string_view text, std::int16_t& var) {
    std::int64_t v = 0;
    int code = 0;
    if (text.empty() && field.Kind == kKindEditInt16Blank) {
        var = kBlankInt16;
        return {};
    }
    if (!textToInt(text, v, code)) return invalidEntry(text);
    // Only a field that may be blank takes the marker beyond its bounds; elsewhere a typed
    // 32767 is a number like any other and would be sent cut to the field's width.
    const bool blank = field.Kind == kKindEditInt16Blank && v == kBlankInt16;
    if (!withinBounds(static_cast<double>(v), field) && !blank) return intRangeError(v, field);
    const std::int64_t top = showsUnsigned16(field) ? 65535 : 32767;
    if (v < -32768 || v > top) return intRangeError(v, field);
    var = static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
    return {};
}

FieldReadResult storeInt32(const FieldDescriptor& field, std::string_view text, std::int32_t& var) {
    std::int64_t v = 0;
    int code = 0;
    if (text.empty() && field.Kind == kKindEditInt32Blank) {
        var = kBlankInt32;
        return {};
    }
    if (!textToInt(text, v, code)) return invalidEntry(text);
    const bool fits = v >= INT32_MIN && v <= INT32_MAX;
    const bool blank = field.Kind == kKindEditInt32Blank && v == kBlankInt32;
    if (!fits || (!withinBounds(static_cast<double>(v), field) && !blank)) {
        return intRangeError(v, field);
    }
    var = static_cast<std::int32_t>(v);
    return {};
}

FieldReadResult storeFloat(const FieldDescriptor& field, std::string_view text, float& var) {
    if (text.empty() && field.Kind == kKindEditFloatBlank) {
        var = EmptyFloat;
        return {};
    }
    float v = 0;
    int code = 0;
    if (!TextToSingle(text, v, code)) return invalidEntry(text);
    if (!withinBounds(v, field) && !IsEmptyFloat(v)) return rangeError(FloatToText(v), field);
    var = v;
    return {};
}

FieldReadResult storeDouble(const FieldDescriptor& field, std::string_view text, double& var) {
    double v = 0;
    int code = 0;
    if (!TextToDouble(text, v, code)) return invalidEntry(text);
    if (!withinBounds(v, field)) return rangeError(FloatToText(v), field);
    var = v;
    return {};
}

void storeBuffer(const FieldDescriptor& field, std::string_view text, std::span<char> buf) {
    if (buf.empty()) return;
    const std::string cut = cutTo(text, field);
    // Never past the variable, whatever MaxValue claims.
    const std::size_t n = std::min(cut.size(), buf.size() - 1);
    std::memcpy(buf.data(), cut.data(), n);
    buf[n] = '\0';
}

}  // namespace

int fieldTextCapacity(const FieldDescriptor& field) {
    const float m = std::isfinite(field.MaxValue) ? std::trunc(field.MaxValue) : 0.0f;
    return static_cast<int>(std::clamp(m - 1.0f, 0.0f, 255.0f));
}

bool showsUnsigned16(const FieldDescriptor& field) {
    return field.MaxValue > 32767.0f && field.MinValue >= 0.0f;
}

FieldReadResult invalidEntry(std::string_view text) {
    return {FieldCheck::Invalid, kInvalidEntry, cp1250ToUtf8(text)};
}

std::string fieldText(const FieldDescriptor& field) {
    const FieldData& d = field.Data;
    if (auto* s = std::get_if<std::string*>(&d); s && *s) return **s;
    if (auto* b = std::get_if<std::span<char>>(&d)) return bufferText(*b);
    if (auto* p = std::get_if<double*>(&d); p && *p) return FloatToText(**p);
    if (auto* p = std::get_if<float*>(&d); p && *p) {
        if (field.Kind == kKindEditFloatBlank && IsEmptyFloat(**p)) return {};
        return FloatToText(**p);
    }
    if (auto* p = std::get_if<std::int16_t*>(&d); p && *p) {
        std::int64_t v = **p;
        if (field.Kind == kKindEditInt16Blank && v == kBlankInt16) return {};
        if (v < 0 && showsUnsigned16(field)) v += 65536;
        return IntToField(v, 0);
    }
    if (auto* p = std::get_if<std::int32_t*>(&d); p && *p) {
        if (field.Kind == kKindEditInt32Blank && **p == kBlankInt32) return {};
        return IntToField(**p, 0);
    }
    return {};
}

FieldReadResult storeFieldText(const FieldDescriptor& field, std::string_view text) {
    const FieldData& d = field.Data;
    if (auto* s = std::get_if<std::string*>(&d); s && *s) {
        **s = cutTo(text, field);
        return {};
    }
    if (auto* b = std::get_if<std::span<char>>(&d)) {
        storeBuffer(field, text, *b);
        return {};
    }
    if (auto* p = std::get_if<double*>(&d); p && *p) return storeDouble(field, text, **p);
    if (auto* p = std::get_if<float*>(&d); p && *p) return storeFloat(field, text, **p);
    if (auto* p = std::get_if<std::int16_t*>(&d); p && *p) return storeInt16(field, text, **p);
    if (auto* p = std::get_if<std::int32_t*>(&d); p && *p) return storeInt32(field, text, **p);
    return {};
}

}  // namespace velor
