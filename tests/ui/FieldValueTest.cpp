#include <gtest/gtest.h>

#include <array>

#include "ui/FieldTable.h"
#include "ui/FieldValue.h"
#include "ui/NumberText.h"

namespace velor {
namespace {

FieldDescriptor field(std::uint8_t kind, FieldData data, float min, float max) {
    FieldDescriptor f;
    f.ControlNo = 1;
    f.Kind = kind;
    f.Data = data;
    f.MinValue = min;
    f.MaxValue = max;
    return f;
}

TEST(FieldTable, ItemLists) {
    const std::string list = makeItemList({"4800", "9600", "", "x"});
    EXPECT_EQ(list, std::string("4800\x01"
                                "9600\x01\x01x\x01",
                                13) +
                        std::string(1, '\0'));
    EXPECT_EQ(listItems(list), (std::vector<std::string>{"4800", "9600", "", "x"}));
    EXPECT_EQ(ListItemIndex("9600", list), 1);
    EXPECT_EQ(ListItemIndex("", list), 2);
    EXPECT_EQ(ListItemIndex("X", list), -1);
    // Lists that lose their terminators end with their bytes.
    EXPECT_EQ(listItems("a\x01"
                        "b"),
              (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(listItems(std::string(1, '\0')).empty());
    EXPECT_EQ(captionText(std::string("0:\0junk", 7)), "0:");
}

TEST(FieldTable, AppendKeepsTheEndMarkerAndStopsAt200) {
    FieldBindingState state;
    std::int16_t v = 0;
    for (int i = 1; i <= 200; ++i) {
        ASSERT_EQ(appendField(state, field(kKindEditInt16, &v, 0, 1)), static_cast<std::size_t>(i));
        if (i < 200) {
            EXPECT_EQ(state.FieldTable[i + 1].ControlNo, 0);
        }
    }
    EXPECT_EQ(fieldCount(state), 200u);
    EXPECT_EQ(appendField(state, field(kKindEditInt16, &v, 0, 1)), 0u);
    clearFieldTable(state);
    EXPECT_EQ(fieldCount(state), 0u);
}

TEST(FieldTable, DataMustFitTheKind) {
    std::int16_t i16 = 0;
    std::int32_t i32 = 0;
    float f = 0;
    EXPECT_TRUE(dataFitsKind(field(kKindEditInt16, &i16, 0, 1)));
    EXPECT_FALSE(dataFitsKind(field(kKindEditInt16, &i32, 0, 1)));
    EXPECT_FALSE(dataFitsKind(field(kKindEditInt32, &i16, 0, 1)));
    EXPECT_FALSE(dataFitsKind(field(kKindEditDouble, &f, 0, 1)));
    EXPECT_FALSE(dataFitsKind(field(kKindEditText, std::monostate{}, 0, 1)));
}

TEST(FieldValue, Int16Kinds) {
    const struct {
        std::uint8_t kind;
        float min, max;
        const char* text;
        FieldCheck check;
        std::int16_t stored;  // when accepted
    } cases[] = {
        {kKindEditInt16Blank, 0, 8, "", FieldCheck::Accepted, 32767},
        {kKindEditInt16, 0, 8, "", FieldCheck::Invalid, 0},
        {kKindSpinInt16, 0, 8, "", FieldCheck::Invalid, 0},
        {kKindEditInt16, 0, 8, "8", FieldCheck::Accepted, 8},
        {kKindEditInt16, 0, 8, "9", FieldCheck::Range, 0},
        {kKindEditInt16, 0, 8, "-1", FieldCheck::Range, 0},
        // The marker typed into a field that may not be blank is a value out of range.
        {kKindEditInt16, 0, 8, "32767", FieldCheck::Range, 0},
        {kKindSpinInt16, 1, 255, "32767", FieldCheck::Range, 0},
        {kKindEditInt16Blank, 1, 255, "32767", FieldCheck::Accepted, 32767},
        {kKindEditInt16, 0, 65535, "32767", FieldCheck::Accepted, 32767},
        {kKindEditInt16, 0, 8, " $8", FieldCheck::Accepted, 8},
        {kKindEditInt16, 0, 8, "abc", FieldCheck::Invalid, 0},
        {kKindEditInt16, 0, 65535, "40000", FieldCheck::Accepted, -25536},
        {kKindEditInt16, 0, 65535, "65535", FieldCheck::Accepted, -1},
        {kKindEditInt16, 0, 100000, "70000", FieldCheck::Range, 0},
        {kKindEditInt16, -100, 65535, "40000", FieldCheck::Range, 0},
        {kKindEditInt16, -70000, 70000, "-40000", FieldCheck::Range, 0},
    };
    for (const auto& c : cases) {
        std::int16_t v = 5;
        const FieldReadResult r = storeFieldText(field(c.kind, &v, c.min, c.max), c.text);
        EXPECT_EQ(r.check, c.check) << int(c.kind) << " '" << c.text << "'";
        EXPECT_EQ(v, c.check == FieldCheck::Accepted ? c.stored : 5) << c.text;
    }
}

TEST(FieldValue, Unsigned16RoundTrip) {
    std::int16_t v = 0;
    const FieldDescriptor f = field(kKindEditInt16, &v, 0, 65535);
    ASSERT_EQ(storeFieldText(f, "40000").check, FieldCheck::Accepted);
    EXPECT_EQ(fieldText(f), "40000");
    EXPECT_EQ(static_cast<std::uint16_t>(v), 40000);
    v = -5;  // a signed field shows the signed number
    EXPECT_EQ(fieldText(field(kKindEditInt16, &v, -10, 10)), "-5");
}

TEST(FieldValue, Int32Kinds) {
    std::int32_t v = 32767;
    FieldDescriptor f11 = field(kKindEditInt32, &v, 0, 65535);
    FieldDescriptor f12 = field(kKindEditInt32Blank, &v, 0, 65535);
    // 32767 shows blank in a 32-bit field too; read back unchanged it is refused or blanked.
    EXPECT_EQ(fieldText(f11), "");
    EXPECT_EQ(storeFieldText(f11, fieldText(f11)).check, FieldCheck::Invalid);
    EXPECT_EQ(storeFieldText(f12, fieldText(f12)).check, FieldCheck::Accepted);
    EXPECT_EQ(v, kBlankInt32);
    EXPECT_EQ(fieldText(f12), "");
    v = 7;
    EXPECT_EQ(storeFieldText(f11, "-2147483647").check, FieldCheck::Range);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(storeFieldText(f12, "-2147483647").check, FieldCheck::Accepted);
    EXPECT_EQ(v, kBlankInt32);
    EXPECT_EQ(storeFieldText(f11, "65536").check, FieldCheck::Range);
    FieldDescriptor wide = field(kKindEditInt32, &v, -1e12f, 1e12f);
    EXPECT_EQ(storeFieldText(wide, "4294967296").check, FieldCheck::Range);
    EXPECT_EQ(v, kBlankInt32);
}

TEST(FieldValue, FloatKindsAndMessages) {
    float f = 1;
    const FieldDescriptor f15 = field(kKindEditFloat, &f, -10000, 10000);
    EXPECT_EQ(storeFieldText(f15, "-99000005").check, FieldCheck::Accepted);
    EXPECT_FLOAT_EQ(f, -99000005.0f);
    EXPECT_EQ(storeFieldText(f15, "").check, FieldCheck::Invalid);
    const FieldReadResult range = storeFieldText(f15, "10000.5");
    EXPECT_EQ(range.text1, "Překročen povolený rozsah u položky: 10000.5");
    EXPECT_EQ(range.text2, "Min.hodnota: -10000.0 Max.hodnota: 10000.0");
    EXPECT_EQ(storeFieldText(field(kKindEditFloatBlank, &f, 0, 1), "").check, FieldCheck::Accepted);
    EXPECT_EQ(f, EmptyFloat);
    EXPECT_EQ(fieldText(field(kKindEditFloatBlank, &f, 0, 1)), "");

    std::int16_t i = 0;
    const FieldReadResult r = storeFieldText(field(kKindEditInt16, &i, 0, 65535), "70000");
    EXPECT_EQ(r.text1, "Překročen povolený rozsah u položky: 70000");
    EXPECT_EQ(r.text2, "Min.hodnota: 0.0 Max.hodnota: 65535.0");
    const FieldReadResult bad = storeFieldText(field(kKindEditInt16, &i, 0, 8), "1\xe8");
    EXPECT_EQ(bad.text1, "Neplatné zadání");
    EXPECT_EQ(bad.text2, "1č");  // the user's text, back from code page 1250

    double d = 0;
    EXPECT_EQ(storeFieldText(field(kKindEditDouble, &d, 0, 1), "0.5").check, FieldCheck::Accepted);
    EXPECT_EQ(d, 0.5);
    EXPECT_EQ(storeFieldText(field(kKindEditDouble, &d, 0, 1), "1e300").check, FieldCheck::Range);
}

TEST(FieldValue, TextKindsAreCutToTheirCapacity) {
    std::string s;
    EXPECT_EQ(storeFieldText(field(kKindEditText, &s, 0, 5), "abcdefgh").check,
              FieldCheck::Accepted);
    EXPECT_EQ(s, "abcd");
    // A buffer smaller than MaxValue claims is never overrun.
    std::array<char, 4> buf{'x', 'x', 'x', 'x'};
    FieldDescriptor f7 = field(kKindEditBuffer, std::span<char>(buf), 0, 31);
    storeFieldText(f7, "abcdefgh");
    EXPECT_EQ(std::string(buf.data()), "abc");
    EXPECT_EQ(fieldText(f7), "abc");
    EXPECT_EQ(fieldTextCapacity(field(kKindEditText, &s, 0, 31.9f)), 30);
    EXPECT_EQ(fieldTextCapacity(field(kKindEditText, &s, 0, 1000)), 255);
    EXPECT_EQ(fieldTextCapacity(field(kKindEditText, &s, 0, 0)), 0);
}

}  // namespace
}  // namespace velor
