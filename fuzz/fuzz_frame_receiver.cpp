// Feeds arbitrary byte streams to the reply receiver, letting the bytes arrive in arbitrary
// portions, into a buffer of arbitrary size. Every accepted variable reply must have been a
// well-formed frame on the stream.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "comm/Frame.h"

namespace {

struct Stream : velor::ByteSource {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t arrived = 0;  // bytes that have arrived so far
    std::size_t pos = 0;      // bytes read so far
    int read(std::uint8_t* destination, int count) override {
        if (count < 0) std::abort();
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), arrived - pos);
        std::copy_n(data + pos, n, destination);
        pos += n;
        return static_cast<int>(n);
    }
};

void check(bool condition) {
    if (!condition) __builtin_trap();
}

// The frame that starts at offset start of the stream is a valid variable frame.
void checkVariableFrame(const Stream& s, std::size_t start) {
    check(start + 6 <= s.pos);
    const std::uint8_t* f = s.data + start;
    const std::size_t l = f[1];
    check(f[0] == velor::kVariableStart && f[1] == f[2] && f[3] == velor::kVariableStart);
    check(start + l + 6 <= s.pos);
    check(f[4 + l] == velor::Checksum8({f + 4, l}) && f[5 + l] == velor::kFrameEnd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // First byte: buffer size; second: seed of the arrival portions.
    const std::size_t capacity = data[0] * 4u;
    unsigned seed = data[1];
    Stream s;
    s.data = data + 2;
    s.size = size - 2;
    std::vector<std::uint8_t> buffer(capacity);

    velor::FrameReceiver receiver;
    std::int32_t length = 0;
    std::size_t frameStart = 0;
    for (int phase = 0; phase < 20000 && s.pos < s.size; ++phase) {
        seed = seed * 1103515245u + 12345u;
        s.arrived = std::min(s.size, s.arrived + (seed >> 16) % 9);
        const std::uint8_t before = receiver.ReceiveState;
        const std::size_t posBefore = s.pos;
        const auto outcome =
            receiver.receive(static_cast<int>(s.arrived - s.pos), s, buffer, length);
        check(s.pos <= s.arrived);
        // The whole stream is in and the receiver neither read nor moved on: it waits for
        // bytes that never come, and every further phase would be the same.
        if (s.arrived == s.size && outcome == velor::ReceiveOutcome::Pending &&
            s.pos == posBefore && receiver.ReceiveState == before)
            break;
        if (before == 0 && receiver.ReceiveState == 2) frameStart = posBefore;
        if (outcome == velor::ReceiveOutcome::VariableReply) {
            checkVariableFrame(s, frameStart);
            const std::int32_t l = s.data[frameStart + 1];
            check(length == l - 3);
            if (length > 0)
                check(std::equal(buffer.begin(), buffer.begin() + length, s.data + frameStart + 7));
        }
        if (outcome != velor::ReceiveOutcome::Pending) receiver = velor::FrameReceiver{};
    }
    return 0;
}
