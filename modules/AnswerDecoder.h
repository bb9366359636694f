#pragma once
// Turns the answer of a monitoring request into what the unit windows show: value texts,
// input colours and output button colours. Plain data in, plain data out; the windows paint
// the result. Only the section of the module that was polled runs, so an open window of
// another module keeps its values.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "comm/RequestKind.h"
#include "config/AnalogRecords.h"
#include "modules/ModuleLayout.h"
#include "modules/UnitSelections.h"

namespace velor {

// The three colours of the unit windows. Active is pure red; the other two are the system's
// menu colour (inactive edit background) and window-text colour (inactive button font).
enum class UnitColour : std::uint8_t { Active, MenuColour, WindowText };
inline constexpr std::uint32_t kActiveArgb = 0xFFFF0000u;

// Copies of the last answers, kept between decodes.
struct DecoderState {
    std::array<std::uint16_t, kTevAnswerBytes / 2> TevAnswer{};
    std::array<std::uint16_t, kTevwAnswerBytes / 2> TevwAnswer{};  // words 0..2 reused by MOKR
    std::uint16_t TewReadback = 0;
    // The state bytes, then the counter sets.
    std::array<std::uint8_t, kMokrStateBytes + kMokrCounterBytes> MokrImage{};
    std::array<float, kKaluInputs> KaluValues{};
    // Kinds (0..4) of which an answer was decoded: only their copies above show anything.
    std::array<bool, 5> Decoded{};
};

// How one KALU input is shown: the offset added to the measured value and the decimals.
struct KaluInputFormat {
    float Offset = 0.0f;
    std::int32_t Decimals = 1;
};
using KaluFormats = std::array<KaluInputFormat, kKaluInputs>;
// The display formats of the inputs of an analog configuration.
KaluFormats kaluFormatsOf(const AnalogConfig& config);

struct KaluView {
    std::array<std::string, kKaluInputs> values;  // Edit1 .. Edit12
    std::array<float, kKaluInputs> numbers{};     // the same values as numbers, offsets applied
};

// Inputs (Edit_n texts and background colours) and output buttons (font colours) of the
// binary and CPU windows. TEV has 16 inputs and no outputs, TEVW and MOKR 8 and 8, TEW no
// inputs and 12 relays.
struct BinaryView {
    int inputCount = 0;
    std::array<std::string, kMaxUnitInputs> texts;
    std::array<UnitColour, kMaxUnitInputs> colours{};
    int outputCount = 0;
    std::array<UnitColour, kMaxUnitOutputs> outputFonts{};
};

struct DecodeResult {
    // False when the answer was shorter than its layout: nothing was changed and the poll
    // counts as a failed transfer.
    bool decoded = false;
    RequestKind kind = RequestKind::Kalu;
    KaluView kalu;      // kind 0
    BinaryView binary;  // kinds 1..4
};

// Answer bytes the layout of kind needs (the MOKR phase picks 16 or 48); 0 for other kinds.
std::size_t answerLayoutSize(RequestKind kind, bool mokrWritePhase);

// Decodes the answer of a request of kind (0..4) into st and sel. For KALU it also takes the
// output values from outputTexts into sel.KaluOutputs; for MOKR it flips sel.MokrWritePhase.
// Throws std::out_of_range for a Decimals above 65535, a value set or board outside its range,
// or an unknown kind, as a range error the poll reports.
DecodeResult DecodeAnswer(RequestKind kind, std::span<const std::uint8_t> answer,
                          const KaluFormats& formats, const KaluOutputTexts& outputTexts,
                          UnitSelections& sel, DecoderState& st);

// An output value as typed: leading blanks skipped, optional sign, decimal digits or
// hexadecimal digits after "$" or "0x"; the value read up to the first character that does
// not fit (0 when nothing fits).
std::int32_t parseOutputValue(std::string_view text);

// The status line after a failed transfer (and the reason a write failed without a negative
// reply).
inline constexpr const char* kTextTransferError = "Chyba přenosu";

// Text shown in L_Err for the negative short reply ReplyCode 1..3; empty for any other code.
std::string protocolErrorText(int replyCode);

// The text of a KALU value edit. Unlike FloatToFixed it always shows '.', caps the decimals at
// what a float can carry and refuses a Decimals above 65535 as a range error.
std::string valueText(float value, std::int32_t decimals);

}  // namespace velor
