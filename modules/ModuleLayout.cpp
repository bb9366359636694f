#include "modules/ModuleLayout.h"

#include <array>
#include <stdexcept>

namespace velor {

namespace {

constexpr int kWordBits = 16;

// Three relays to a nibble; inputs 13..16 have no relay of their own and test bit 15.
constexpr std::array<std::uint16_t, kWordBits> kGappedMasks = {
    0x0001, 0x0002, 0x0004, 0x0010, 0x0020, 0x0040, 0x0100, 0x0200,
    0x0400, 0x1000, 0x2000, 0x4000, 0x8000, 0x8000, 0x8000, 0x8000};

}  // namespace

int binaryInputCount(RequestKind kind) {
    if (kind == RequestKind::Tev) return kTevInputs;
    if (kind == RequestKind::Tevw) return kTevwInputs;
    return kind == RequestKind::Mokr ? kBoardInputs : 0;
}

int firstBinaryInput(RequestKind kind, int board) {
    return kind == RequestKind::Mokr ? kBoardInputs * board : 0;
}

bool TestBit(std::uint16_t word, int n) {
    if (n < 1 || n > kWordBits) return false;
    return (word >> (n - 1)) & 1u;
}

std::uint16_t inputBitMask(int n, bool gappedInputLayout) {
    if (n < 1 || n > kWordBits) throw std::out_of_range("Range check error");
    if (gappedInputLayout) return kGappedMasks[static_cast<std::size_t>(n - 1)];
    return static_cast<std::uint16_t>(1u << (n - 1));
}

bool TestInputBit(std::uint16_t word, int n, bool gappedInputLayout) {
    if (n < 1 || n > kWordBits) return false;
    return (word & inputBitMask(n, gappedInputLayout)) != 0;
}

}  // namespace velor
