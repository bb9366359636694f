#pragma once
// The modules' inputs and outputs as the monitoring requests and answers carry them: how many
// each module has, where the requests read and write them in the monitoring area, how long
// each answer is, which answer words hold the input bits and the counters, and the bit of each
// input or relay in a 16-bit word.

#include <cstddef>
#include <cstdint>

#include "comm/RequestKind.h"
#include "config/AnalogRecords.h"

namespace velor {

// KALU: the twelve analog inputs of the analog configuration (a float each) and six outputs
// (a byte each).
inline constexpr std::size_t kKaluInputs = kAnalogInputCount;
inline constexpr std::size_t kKaluOutputs = 6;
// TEV: sixteen inputs. TEVW: eight inputs and eight outputs. TEW: twelve relays.
inline constexpr int kTevInputs = 16;
inline constexpr int kTevwInputs = 8;
inline constexpr int kTevwOutputs = 8;
inline constexpr int kTewRelays = 12;
// MOKR: eight plug-in input boards and eight output boards ("piggies"), eight inputs or
// outputs on each.
inline constexpr int kPiggyCount = 8;
inline constexpr int kBoardInputs = 8;
inline constexpr int kBoardOutputs = 8;
// The most inputs (TEV) and outputs (TEW) one binary or CPU window shows.
inline constexpr int kMaxUnitInputs = kTevInputs;
inline constexpr int kMaxUnitOutputs = kTewRelays;

// The inputs a binary or CPU window shows for kind (MOKR: one input board); 0 for KALU and TEW.
int binaryInputCount(RequestKind kind);
// The index in the binary configuration's inputs of the first input that window shows: MOKR
// shows the inputs of the board it reads (8 x board), the others start at 0.
int firstBinaryInput(RequestKind kind, int board);

// Counters come in three value sets (rising edges, falling edges, pulse period) of sixteen
// words each.
inline constexpr int kValueSetCount = 3;
inline constexpr std::size_t kSetWords = 16;

// Answer lengths in bytes. The MOKR window alternates two requests: the state bytes (and the
// outputs written), then the three counter blocks of one input board.
inline constexpr std::size_t kKaluAnswerBytes = 4 * kKaluInputs;
inline constexpr std::size_t kTevAnswerBytes = 100;
inline constexpr std::size_t kTevwAnswerBytes = 102;
inline constexpr std::size_t kTewAnswerBytes = 2;
inline constexpr std::size_t kMokrStateBytes = 16;
inline constexpr std::size_t kMokrCounterBytes = kValueSetCount * 2 * kBoardInputs;

// Words of the TEV and TEVW answers: W0 the unfiltered input bits, W1 the filtered ones,
// TEVW's W2 its outputs as read back; the value sets follow.
inline constexpr std::size_t kUnfilteredBitsWord = 0;
inline constexpr std::size_t kFilteredBitsWord = 1;
inline constexpr std::size_t kTevwOutputsWord = 2;
inline constexpr std::size_t kTevFirstSetWord = 2;
inline constexpr std::size_t kTevwFirstSetWord = 3;
// The MOKR state bytes: the unfiltered bits of input boards 0..7, then their filtered bits.
inline constexpr std::size_t kMokrFilteredByte = kPiggyCount;

// Byte addresses in the monitoring area. Everything is read from 0; KALU's outputs follow its
// inputs, TEVW's outputs are its W2; a MOKR counter block of board b sits at the set's base
// plus 16 x b, and its output bytes (one per board) at 0x190.
inline constexpr std::uint16_t kAnswerAt = 0x0000;
inline constexpr std::uint16_t kKaluOutputsAt = 0x0030;
inline constexpr std::uint16_t kTevwOutputsAt = 2 * kTevwOutputsWord;
inline constexpr std::uint16_t kMokrCountersAt[kValueSetCount] = {0x0010, 0x0090, 0x0110};
inline constexpr std::uint16_t kMokrBoardStep = 0x0010;
inline constexpr std::uint16_t kMokrOutputsAt = 0x0190;

static_assert(kKaluOutputsAt == kKaluAnswerBytes);
static_assert(kTevAnswerBytes == 2 * (kTevFirstSetWord + kValueSetCount * kSetWords));
static_assert(kTevwAnswerBytes == 2 * (kTevwFirstSetWord + kValueSetCount * kSetWords));

// Bit n-1 of the word, n = 1..16; false for any other n.
bool TestBit(std::uint16_t word, int n);

// The bit of a 16-bit word that input or relay n (1..16) occupies. With the gapped layout the
// relays sit three to a nibble: bits 3, 7 and 11 are skipped and 13..16 all share bit 15.
// Throws std::out_of_range for any other n.
std::uint16_t inputBitMask(int n, bool gappedInputLayout);

// Whether the word has a bit in common with the mask of input n (1..16; false for any other n).
// The gapped layout is GappedInputLayout of the unit window selections, set at start and
// toggled by the TEW window.
bool TestInputBit(std::uint16_t word, int n, bool gappedInputLayout);

}  // namespace velor
