// Cuts arbitrary received bytes into frames as the traffic monitor does and describes them, and
// reads the same bytes as a sent frame. The frames must cover the bytes in order, each inside
// them, and every text must be made without a fault.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "comm/TrafficFrames.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    std::size_t next = 0;
    for (const velor::ReceivedFrame& f : velor::assembleReceived(bytes)) {
        check(f.offset == next && f.length > 0 && f.offset + f.length <= size);
        next = f.offset + f.length;
        const auto frame = bytes.subspan(f.offset, f.length);
        check(!velor::verdictText(f.verdict, frame).empty());
        (void)velor::isErrorVerdict(f.verdict);
    }
    check(next == size);
    // The same bytes as a frame the program sent.
    (void)velor::describeSent(bytes);
    const int address = velor::sentFrameAddress(bytes);
    check(address >= -1 && address <= 255);
    return 0;
}
