#include "config/ModuleHelpers.h"

#include <algorithm>

namespace velor {

namespace {

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

}  // namespace velor
