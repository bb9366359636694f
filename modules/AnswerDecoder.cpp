#include "modules/AnswerDecoder.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "comm/ByteCodec.h"
#include "ui/NumberText.h"

namespace velor {

KaluFormats kaluFormatsOf(const AnalogConfig& config) {
    KaluFormats formats{};
    for (std::size_t i = 0; i < formats.size() && i < config.Inputs.size(); ++i) {
        formats[i].Offset = config.Inputs[i].Offset;
        formats[i].Decimals = config.Inputs[i].Decimals;
    }
    return formats;
}

namespace {

// Words of a counter set; a set outside 0..2 is a range error, as for any checked index.
void checkSet(std::uint8_t set) {
    if (set > kSetPulsePeriod) throw std::out_of_range("Range check error");
}

UnitColour inputColour(std::uint16_t bits, int n) {
    return TestBit(bits, n) ? UnitColour::Active : UnitColour::MenuColour;
}

UnitColour outputColour(bool on) {
    return on ? UnitColour::Active : UnitColour::WindowText;
}

template <std::size_t N>
void copyWords(std::array<std::uint16_t, N>& to, std::span<const std::uint8_t> a,
               std::size_t bytes) {
    for (std::size_t i = 0; i < bytes / 2; ++i) to[i] = codec::getU16(a, 2 * i);
}

// Inputs 1..count: counter words starting at word `first` of `words`, coloured by `bits`.
template <std::size_t N>
void fillInputs(BinaryView& v, int count, const std::array<std::uint16_t, N>& words,
                std::size_t first, std::uint16_t bits) {
    v.inputCount = count;
    for (int n = 1; n <= count; ++n) {
        v.texts[n - 1] = IntToField(words.at(first + n - 1), 8);
        v.colours[n - 1] = inputColour(bits, n);
    }
}

// A set filter flag shows the unfiltered input states, a clear one the filtered states.
std::size_t bitsWord(bool filterFlag) {
    return filterFlag ? kUnfilteredBitsWord : kFilteredBitsWord;
}

// The eight output buttons of TEVW and MOKR, red while the output's bit is set.
void fillOutputs(BinaryView& v, std::uint16_t bits) {
    v.outputCount = kTevwOutputs;
    for (int n = 1; n <= kTevwOutputs; ++n) v.outputFonts[n - 1] = outputColour(TestBit(bits, n));
}

void decodeKalu(std::span<const std::uint8_t> a, const KaluFormats& formats,
                const KaluOutputTexts& outputTexts, UnitSelections& sel, DecoderState& st,
                DecodeResult& r) {
    for (std::size_t i = 0; i < kKaluInputs; ++i) {
        st.KaluValues[i] = codec::getF32(a, 4 * i) + formats[i].Offset;
        r.kalu.numbers[i] = st.KaluValues[i];
        r.kalu.values[i] = valueText(st.KaluValues[i], formats[i].Decimals);
    }
    for (std::size_t i = 0; i < kKaluOutputs; ++i)
        sel.KaluOutputs[i] = parseOutputValue(outputTexts[i]);
}

// TEV and TEVW: the answer kept as words, and inputs 1..count showing the chosen value set,
// coloured by the chosen bit word.
template <std::size_t N>
void decodeInputWords(std::span<const std::uint8_t> a, std::array<std::uint16_t, N>& words,
                      std::uint8_t set, bool filterFlag, int count, std::size_t firstSetWord,
                      DecodeResult& r) {
    checkSet(set);
    copyWords(words, a, 2 * N);
    fillInputs(r.binary, count, words, firstSetWord + kSetWords * set, words[bitsWord(filterFlag)]);
}

void decodeTev(std::span<const std::uint8_t> a, const UnitSelections& sel, DecoderState& st,
               DecodeResult& r) {
    decodeInputWords(a, st.TevAnswer, sel.TevInputSet, sel.TevFilterFlag, kTevInputs,
                     kTevFirstSetWord, r);
}

void decodeTevw(std::span<const std::uint8_t> a, const UnitSelections& sel, DecoderState& st,
                DecodeResult& r) {
    decodeInputWords(a, st.TevwAnswer, sel.TevwInputSet, sel.TevwFilterFlag, kTevwInputs,
                     kTevwFirstSetWord, r);
    fillOutputs(r.binary, st.TevwAnswer[kTevwOutputsWord]);
}

void decodeTew(std::span<const std::uint8_t> a, const UnitSelections& sel, DecoderState& st,
               DecodeResult& r) {
    st.TewReadback = codec::getU16(a, 0);
    r.binary.outputCount = kTewRelays;
    for (int n = 1; n <= kTewRelays; ++n) {
        const bool on = TestInputBit(st.TewReadback, n, sel.GappedInputLayout);
        r.binary.outputFonts[n - 1] = outputColour(on);
    }
}

void decodeMokr(std::span<const std::uint8_t> a, UnitSelections& sel, DecoderState& st,
                DecodeResult& r) {
    checkSet(sel.MokrInputSet);
    const auto in = static_cast<std::size_t>(sel.MokrInputPiggy);
    const auto out = static_cast<std::size_t>(sel.MokrOutputPiggy);
    if (in >= kPiggyCount || out >= kPiggyCount) throw std::out_of_range("Range check error");

    if (sel.MokrWritePhase)
        std::copy_n(a.begin(), kMokrStateBytes, st.MokrImage.begin());
    else
        std::copy_n(a.begin(), kMokrCounterBytes, st.MokrImage.begin() + kMokrStateBytes);
    sel.MokrWritePhase = !sel.MokrWritePhase;

    // The bit words share the TEVW copy; W2 is the byte the program itself writes.
    st.TevwAnswer[kUnfilteredBitsWord] = st.MokrImage[in];
    st.TevwAnswer[kFilteredBitsWord] = st.MokrImage[kMokrFilteredByte + in];
    st.TevwAnswer[kTevwOutputsWord] = sel.PiggyOutputs[out];

    std::array<std::uint16_t, kBoardInputs> words{};
    const std::span<const std::uint8_t> image(st.MokrImage);
    const std::size_t base = kMokrStateBytes + 2 * kBoardInputs * std::size_t{sel.MokrInputSet};
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = codec::getU16(image, base + 2 * i);

    fillInputs(r.binary, kBoardInputs, words, 0, st.TevwAnswer[bitsWord(sel.MokrFilterFlag)]);
    fillOutputs(r.binary, st.TevwAnswer[kTevwOutputsWord]);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::size_t answerLayoutSize(RequestKind kind, bool mokrWritePhase) {
    switch (kind) {
        case RequestKind::Kalu:
            return kKaluAnswerBytes;
        case RequestKind::Tev:
            return kTevAnswerBytes;
        case RequestKind::Tew:
            return kTewAnswerBytes;
        case RequestKind::Tevw:
            return kTevwAnswerBytes;
        case RequestKind::Mokr:
            return mokrWritePhase ? kMokrStateBytes : kMokrCounterBytes;
        default:
            return 0;
    }
}

DecodeResult DecodeAnswer(RequestKind kind, std::span<const std::uint8_t> answer,
                          const KaluFormats& formats, const KaluOutputTexts& outputTexts,
                          UnitSelections& sel, DecoderState& st) {
    DecodeResult r;
    r.kind = kind;
    const std::size_t need = answerLayoutSize(kind, sel.MokrWritePhase);
    if (need == 0) throw std::out_of_range("Range check error");
    // A short answer would leave bytes of an older frame in the values: keep the last ones.
    if (answer.size() < need) return r;

    switch (kind) {
        case RequestKind::Kalu:
            decodeKalu(answer, formats, outputTexts, sel, st, r);
            break;
        case RequestKind::Tev:
            decodeTev(answer, sel, st, r);
            break;
        case RequestKind::Tew:
            decodeTew(answer, sel, st, r);
            break;
        case RequestKind::Tevw:
            decodeTevw(answer, sel, st, r);
            break;
        default:
            decodeMokr(answer, sel, st, r);
            break;
    }
    r.decoded = true;
    st.Decoded[static_cast<std::size_t>(kind)] = true;
    return r;
}

std::int32_t parseOutputValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';

    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }

    // A digit that would overflow does not fit either: the value read so far stands.
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const int d = hexDigit(text[i]);
        if (d < 0 || d >= base) break;
        const std::int64_t next = value * base + d;
        if (next > kMax + (negative ? 1 : 0)) break;
        value = next;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::string protocolErrorText(int replyCode) {
    switch (replyCode) {
        case 1:
            return "FC=2 Neznámá komunikační šlužba";
        case 2:
            return "FC=9 Blok/Data nedostupná";
        case 3:
            return "FC=0x0c nespravne zadane parametry";
        default:
            return {};
    }
}

std::string valueText(float value, std::int32_t decimals) {
    if (decimals > 65535) throw std::out_of_range("Range check error");
    // A float carries no more than this many meaningful decimals; the text stays short.
    const int shown = decimals < 0 ? 0 : (decimals > 18 ? 18 : decimals);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%8.*f", shown, static_cast<double>(value));
    return buf;
}

}  // namespace velor
