#pragma once
// What the unit windows choose and switch, shared with the request builders (which send it)
// and the answer decoding (which reads it). One instance lives for the whole run; the
// windows come and go, these values stay, except what the openers reset.

#include <array>
#include <cstdint>
#include <string>

#include "modules/ModuleLayout.h"

namespace velor {

// Value sets of the binary input windows: which counter words the input edits show.
inline constexpr std::uint8_t kSetRisingEdge = 0;
inline constexpr std::uint8_t kSetFallingEdge = 1;
inline constexpr std::uint8_t kSetPulsePeriod = 2;

// Texts of Edit_20 .. Edit_25 (outputs 0..5) as typed, UTF-8.
using KaluOutputTexts = std::array<std::string, kKaluOutputs>;

struct UnitSelections {
    // TEV window: value set 0..2 and filter flag (set: W0 colours the inputs, clear: W1).
    std::uint8_t TevInputSet = kSetFallingEdge;
    bool TevFilterFlag = false;

    // TEVW window.
    std::uint8_t TevwInputSet = kSetFallingEdge;
    bool TevwFilterFlag = false;
    std::uint16_t TevwOutputs = 0;  // bit n-1 = output n-1 (button TEReg_n)

    // TEW window: relay word and the relay wiring. With GappedInputLayout set the twelve
    // relays sit three to a nibble (bits 3, 7 and 11 unused); the flag outlives the window.
    std::uint16_t TewOutputs = 0;
    bool GappedInputLayout = true;

    // MOKR window: value set, filter flag, the two plug-in board selectors (0..7) and the
    // output byte of each output board. PiggyOutputs[i] belongs to output board i (Piggy Pi),
    // so the buttons act on PiggyOutputs[MokrOutputPiggy].
    std::uint8_t MokrInputSet = kSetFallingEdge;
    bool MokrFilterFlag = false;
    std::int32_t MokrInputPiggy = 0;
    std::int32_t MokrOutputPiggy = 0;
    std::array<std::uint8_t, kPiggyCount> PiggyOutputs{};
    // Which of the two MOKR requests comes next: set = write the outputs and read the state
    // bytes (16 bytes back), clear = read the three counter blocks (48 bytes back). Cleared
    // when the MOKR window opens; flipped by every decoded MOKR answer.
    bool MokrWritePhase = false;

    // KALU window: the six output fields as the user typed them (the window keeps them here;
    // empty while it is closed), and their values, picked up by each decoded KALU answer; the
    // low 8 bits of each are sent.
    KaluOutputTexts KaluTypedOutputs{};
    std::array<std::int32_t, kKaluOutputs> KaluOutputs{};
};

}  // namespace velor
