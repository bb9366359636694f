// Drives the traffic tap with arbitrary sequences of what the channel and the engine report
// (chunks written and read, attempts started and ended, clearing) into a small ring, then reads
// back every frame it holds, its text and the capture file of them. The frames must stay in
// order with bytes inside the arena, and the statistics must add up.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "comm/TrafficCapture.h"
#include "comm/TrafficFrames.h"
#include "comm/TrafficTap.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

struct StepClock : velor::TrafficClock {
    std::int64_t us = 1'000'000;
    velor::TrafficTime now() override {
        us += 1500;
        return {us, 1'700'000'000'000'000 + us};
    }
};

// The input, read from the front; zero bytes once it is used up.
struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    bool more() const { return pos < size; }
    std::uint8_t byte() { return pos < size ? data[pos++] : 0; }
    std::span<const std::uint8_t> take(std::size_t n) {
        n = std::min(n, size - pos);
        const std::span<const std::uint8_t> out(data + pos, n);
        pos += n;
        return out;
    }
};

velor::ExchangeOutcome outcomeOf(Input& in) {
    velor::ExchangeOutcome o;
    o.kind = in.byte() % 8;
    o.address = static_cast<int>(in.byte()) - 1;
    o.attempt = 1 + in.byte() % 3;
    o.transferResult = static_cast<std::int8_t>(in.byte());
    o.status = in.byte() % 6;
    o.replyCode = in.byte() % 4;
    o.timeoutMs = static_cast<std::uint16_t>(in.byte() * 10);
    return o;
}

void readBack(const velor::TrafficTap& tap) {
    std::vector<std::uint64_t> seqs;
    for (std::uint64_t seq = tap.firstSeq(); seq < tap.nextSeq(); ++seq) {
        const velor::TrafficFrame* f = tap.frame(seq);
        check(f != nullptr && f->seq == seq);
        const auto bytes = tap.bytes(*f);
        check(bytes.empty() || bytes.size() == f->length);
        (void)velor::verdictText(f->verdict, bytes);
        seqs.push_back(seq);
    }
    const auto capture = velor::pcapOfFrames(tap, seqs);
    check(capture.size() >= velor::kPcapHeaderBytes);
    const velor::AddressStats all = tap.stats().totals();
    check(all.retries <= all.requests);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    StepClock clock;
    velor::TrafficTap tap(clock, 64);
    Input in{data, size};
    for (int step = 0; step < 4096 && in.more(); ++step) {
        switch (in.byte() % 5) {
            case 0:
                tap.written(in.take(in.byte()));
                break;
            case 1:
                tap.read(in.take(in.byte()));
                break;
            case 2:
                tap.attemptStarted({static_cast<std::uint8_t>(in.byte() % 8), 1 + in.byte() % 3});
                break;
            case 3:
                tap.attemptEnded(outcomeOf(in));
                break;
            default:
                if (in.byte() == 0xFF) tap.clear();
                break;
        }
    }
    readBack(tap);
    return 0;
}
