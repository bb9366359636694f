// Answer decoding: layouts, colours, number texts, output parse, short answers.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "comm/ByteCodec.h"
#include "modules/AnswerDecoder.h"
#include "modules/ModuleLayout.h"

namespace velor {
namespace {

struct Fixture {
    UnitSelections sel;
    DecoderState st;
    KaluFormats formats{};
    KaluOutputTexts outputs{};

    DecodeResult decode(RequestKind kind, const std::vector<std::uint8_t>& a) {
        return DecodeAnswer(kind, a, formats, outputs, sel, st);
    }
};

std::vector<std::uint8_t> words(std::size_t bytes, std::initializer_list<std::pair<int, int>> set) {
    std::vector<std::uint8_t> a(bytes, 0);
    for (auto [index, value] : set)
        codec::putU16(a, 2 * static_cast<std::size_t>(index), static_cast<std::uint16_t>(value));
    return a;
}

TEST(Decoder, KaluValueWithOffsetAndDecimals) {
    Fixture f;
    f.formats[0] = {0.25f, 2};
    f.formats[11] = {0.0f, 0};
    std::vector<std::uint8_t> a(48, 0);
    codec::putF32(a, 0, 1.5f);
    codec::putF32(a, 44, -3.6f);
    const auto r = f.decode(RequestKind::Kalu, a);
    ASSERT_TRUE(r.decoded);
    EXPECT_EQ(r.kalu.values[0], "    1.75");
    EXPECT_EQ(r.kalu.values[11], "      -4");
    EXPECT_FLOAT_EQ(f.st.KaluValues[0], 1.75f);
}

TEST(Decoder, KaluDecimalsAboveWordRangeIsRangeError) {
    Fixture f;
    f.formats[3].Decimals = 65536;
    EXPECT_THROW(f.decode(RequestKind::Kalu, std::vector<std::uint8_t>(48, 0)), std::out_of_range);
}

TEST(Decoder, KaluPicksUpOutputTexts) {
    Fixture f;
    f.outputs = {"-1", "12abc", "A", "", "$1F", " 0x10"};
    ASSERT_TRUE(f.decode(RequestKind::Kalu, std::vector<std::uint8_t>(48, 0)).decoded);
    const std::array<std::int32_t, 6> expected = {-1, 12, 0, 0, 31, 16};
    EXPECT_EQ(f.sel.KaluOutputs, expected);
    EXPECT_EQ(f.sel.KaluOutputs[0] & 0xFF, 0xFF);
}

TEST(Decoder, OutputParse) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"-1", -1},
        {"12abc", 12},
        {"A", 0},
        {"", 0},
        {"300x", 300},
        {"  42", 42},
        {"+7", 7},
        {"$ff", 255},
        {"0x1G", 1},
        {"-$10", -16},
        {"0x", 0},
        {"-", 0},
        {"99999999999", 999999999},
        {"-2147483648", -2147483647 - 1},
    };
    for (const auto& c : cases) EXPECT_EQ(parseOutputValue(c.text), c.value) << c.text;
}

TEST(Decoder, TevColoursFollowFilterFlag) {
    Fixture f;
    const auto a = words(100, {{0, 0x0001}, {1, 0x8000}});
    for (bool filter : {false, true}) {
        f.sel.TevFilterFlag = filter;
        const auto r = f.decode(RequestKind::Tev, a);
        ASSERT_EQ(r.binary.inputCount, 16);
        EXPECT_EQ(r.binary.colours[0], filter ? UnitColour::Active : UnitColour::MenuColour);
        EXPECT_EQ(r.binary.colours[15], filter ? UnitColour::MenuColour : UnitColour::Active);
        EXPECT_EQ(r.binary.colours[7], UnitColour::MenuColour);
    }
}

TEST(Decoder, TevValueSetsAndBlankCounter) {
    Fixture f;
    // Word k of the answer holds 1000 + k; bytes 69..100 are words 34..49.
    std::vector<std::uint8_t> a(100);
    for (int k = 0; k < 50; ++k) codec::putU16(a, 2 * k, static_cast<std::uint16_t>(1000 + k));
    codec::putU16(a, 2 * 34, 32767);
    for (std::uint8_t set : {0, 1, 2}) {
        f.sel.TevInputSet = set;
        const auto r = f.decode(RequestKind::Tev, a);
        for (int n = 2; n <= 16; ++n)
            EXPECT_EQ(r.binary.texts[n - 1], "    " + std::to_string(1000 + 2 + 16 * set + n - 1));
        if (set == 2) {
            EXPECT_EQ(r.binary.texts[0], "        ");
        }
    }
    f.sel.TevInputSet = 3;
    EXPECT_THROW(f.decode(RequestKind::Tev, a), std::out_of_range);
}

TEST(Decoder, TevwInputsAndOutputFonts) {
    Fixture f;
    auto a = words(102, {{0, 0x0000}, {1, 0x0004}, {2, 0x0081}, {3 + 16, 65535}});
    f.sel.TevwInputSet = 1;
    const auto r = f.decode(RequestKind::Tevw, a);
    EXPECT_EQ(r.binary.inputCount, 8);
    EXPECT_EQ(r.binary.texts[0], "   65535");
    EXPECT_EQ(r.binary.colours[2], UnitColour::Active);
    EXPECT_EQ(r.binary.colours[0], UnitColour::MenuColour);
    EXPECT_EQ(r.binary.outputCount, 8);
    EXPECT_EQ(r.binary.outputFonts[0], UnitColour::Active);
    EXPECT_EQ(r.binary.outputFonts[7], UnitColour::Active);
    EXPECT_EQ(r.binary.outputFonts[1], UnitColour::WindowText);
}

TEST(Decoder, TewReadbackFollowsWiring) {
    Fixture f;
    const auto a = words(2, {{0, 0x0010}});
    for (bool gapped : {true, false}) {
        f.sel.GappedInputLayout = gapped;
        const auto r = f.decode(RequestKind::Tew, a);
        const int lit = gapped ? 4 : 5;
        EXPECT_EQ(f.st.TewReadback, 0x0010);
        for (int n = 1; n <= 12; ++n)
            EXPECT_EQ(r.binary.outputFonts[n - 1] == UnitColour::Active, n == lit) << n;
    }
}

TEST(Decoder, GappedMasks) {
    EXPECT_EQ(inputBitMask(4, false), 0x0008);
    EXPECT_EQ(inputBitMask(4, true), 0x0010);
    EXPECT_EQ(inputBitMask(12, true), 0x4000);
    EXPECT_EQ(inputBitMask(16, true), 0x8000);
    EXPECT_THROW(inputBitMask(0, true), std::out_of_range);
}

TEST(ModuleLayout, TestInputBitBothLayouts) {
    EXPECT_FALSE(TestInputBit(0x0008, 4, true));
    EXPECT_TRUE(TestInputBit(0x0008, 4, false));
    EXPECT_TRUE(TestInputBit(0x0010, 4, true));
    EXPECT_TRUE(TestInputBit(0x0010, 5, false));
    const std::array<std::uint16_t, 16> gapped{0x0001, 0x0002, 0x0004, 0x0010, 0x0020, 0x0040,
                                               0x0100, 0x0200, 0x0400, 0x1000, 0x2000, 0x4000,
                                               0x8000, 0x8000, 0x8000, 0x8000};
    for (int n = 1; n <= 16; ++n) {
        const auto idx = static_cast<std::size_t>(n - 1);
        EXPECT_TRUE(TestInputBit(gapped[idx], n, true)) << n;
        EXPECT_FALSE(TestInputBit(static_cast<std::uint16_t>(~gapped[idx]), n, true)) << n;
        EXPECT_TRUE(TestInputBit(static_cast<std::uint16_t>(1u << idx), n, false)) << n;
        EXPECT_EQ(TestBit(static_cast<std::uint16_t>(1u << idx), n), true) << n;
        EXPECT_EQ(TestBit(static_cast<std::uint16_t>(~(1u << idx)), n), false) << n;
    }
    for (int n : {0, 17, -1}) {
        EXPECT_FALSE(TestInputBit(0xFFFF, n, true));
        EXPECT_FALSE(TestBit(0xFFFF, n));
    }
}

TEST(Decoder, MokrAlternatesPhases) {
    Fixture f;
    f.sel.MokrInputPiggy = 2;
    f.sel.MokrOutputPiggy = 5;
    f.sel.PiggyOutputs[5] = 0x02;
    f.sel.MokrInputSet = 1;
    f.sel.MokrWritePhase = false;  // as the window opens: three-block read first

    std::vector<std::uint8_t> counters(48);
    for (int k = 0; k < 24; ++k) codec::putU16(counters, 2 * k, static_cast<std::uint16_t>(k));
    auto r = f.decode(RequestKind::Mokr, counters);
    ASSERT_TRUE(r.decoded);
    EXPECT_TRUE(f.sel.MokrWritePhase);
    EXPECT_EQ(r.binary.texts[0], "       8");  // set 1 is the second block
    EXPECT_EQ(r.binary.outputFonts[1], UnitColour::Active);

    // The write phase wants 16 bytes; 48 would be a foreign layout but is long enough.
    std::vector<std::uint8_t> state(16, 0);
    state[2] = 0x01;      // W0 of board 2: shown with the filter flag set (unfiltered)
    state[8 + 2] = 0x80;  // W1 of board 2: shown with it clear (filtered)
    r = f.decode(RequestKind::Mokr, state);
    ASSERT_TRUE(r.decoded);
    EXPECT_FALSE(f.sel.MokrWritePhase);
    EXPECT_EQ(r.binary.texts[0], "       8");  // counters kept from the last read
    EXPECT_EQ(r.binary.colours[7], UnitColour::Active);
    EXPECT_EQ(r.binary.colours[0], UnitColour::MenuColour);

    f.sel.MokrFilterFlag = true;
    r = f.decode(RequestKind::Mokr, counters);
    EXPECT_EQ(r.binary.colours[0], UnitColour::Active);
    EXPECT_TRUE(f.sel.MokrWritePhase);
}

TEST(Decoder, ShortAnswerKeepsValues) {
    Fixture f;
    ASSERT_TRUE(f.decode(RequestKind::Tev, words(100, {{2 + 16, 5}})).decoded);
    const auto before = f.st.TevAnswer;
    EXPECT_FALSE(f.decode(RequestKind::Tev, std::vector<std::uint8_t>(99, 0xFF)).decoded);
    EXPECT_EQ(f.st.TevAnswer, before);

    // A short MOKR answer leaves the phase, so the same request is asked again.
    f.sel.MokrWritePhase = false;
    EXPECT_FALSE(f.decode(RequestKind::Mokr, std::vector<std::uint8_t>(16, 0)).decoded);
    EXPECT_FALSE(f.sel.MokrWritePhase);
    f.sel.KaluOutputs[0] = 9;
    f.outputs[0] = "1";
    EXPECT_FALSE(f.decode(RequestKind::Kalu, std::vector<std::uint8_t>(47, 0)).decoded);
    EXPECT_EQ(f.sel.KaluOutputs[0], 9);
    EXPECT_FALSE(f.decode(RequestKind::Tew, {}).decoded);
}

TEST(Decoder, ProtocolErrorTexts) {
    EXPECT_EQ(protocolErrorText(1), "FC=2 Neznámá komunikační šlužba");
    EXPECT_EQ(protocolErrorText(2), "FC=9 Blok/Data nedostupná");
    EXPECT_EQ(protocolErrorText(3), "FC=0x0c nespravne zadane parametry");
    EXPECT_EQ(protocolErrorText(0), "");
    EXPECT_EQ(protocolErrorText(4), "");
}

}  // namespace
}  // namespace velor
