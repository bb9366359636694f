#include "config/ModuleHelpers.h"

#include <algorithm>
#include <array>

namespace velor {

namespace {

constexpr std::array<std::uint16_t, 16> kGappedMasks{0x0001, 0x0002, 0x0004, 0x0010, 0x0020, 0x0040,
                                                     0x0100, 0x0200, 0x0400, 0x1000, 0x2000, 0x4000,
                                                     0x8000, 0x8000, 0x8000, 0x8000};

std::uint16_t tripled(std::uint16_t v) {
    return static_cast<std::uint16_t>(std::min<unsigned>(3u * v, 0xFFFFu));
}

}  // namespace

void ResetAddressScan(std::int32_t& scanAddress, std::span<bool, kBusAddressCount> addressFound) {
    scanAddress = 0;
    std::fill(addressFound.begin(), addressFound.end(), false);
}

void AdjustTimeoutsForBaud(std::uint16_t& replyTimeout, std::uint16_t& pollInterval,
                           std::uint16_t baudIndex) {
    if (baudIndex != 0) return;
    replyTimeout = tripled(replyTimeout);
    pollInterval = tripled(pollInterval);
}

bool TestBit(std::uint16_t word, int n) {
    if (n < 1 || n > 16) return false;
    return (word >> (n - 1)) & 1u;
}

bool TestInputBit(std::uint16_t word, int n, bool gappedInputLayout) {
    if (n < 1 || n > 16) return false;
    const std::uint16_t mask = gappedInputLayout ? kGappedMasks[static_cast<std::size_t>(n - 1)]
                                                 : static_cast<std::uint16_t>(1u << (n - 1));
    return (word & mask) != 0;
}

}  // namespace velor
