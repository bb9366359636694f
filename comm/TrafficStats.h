#pragma once
// Link statistics per module address, counted from the end of every attempt: request frames
// sent, good answers, time-outs, bad frames by reason, negative replies by function code,
// retries, requests that failed for good, late frames, and the reply time (send to the last
// reply byte) as minimum, mean, 95th percentile and maximum.

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "comm/TrafficFrames.h"

namespace velor {

struct ExchangeOutcome;

inline constexpr std::size_t kVerdictCount = static_cast<std::size_t>(Verdict::PortFailed) + 1;
// Reply times are counted in 1 ms bins up to this; longer ones share the last bin.
inline constexpr int kReplyHistogramMs = 5000;

// Reply times in whole milliseconds.
class ReplyTimes {
public:
    void add(int ms);
    std::uint32_t count() const { return count_; }
    int min() const { return min_; }
    int max() const { return max_; }
    double mean() const { return count_ == 0 ? 0.0 : static_cast<double>(sum_) / count_; }
    // Nearest rank: the smallest time that at least p percent of the replies did not exceed.
    int percentile(int p) const;
    void merge(const ReplyTimes& other);

private:
    std::uint32_t count_ = 0;
    std::int64_t sum_ = 0;
    int min_ = 0;
    int max_ = 0;
    std::vector<std::uint32_t> bins_;  // allocated with the first reply
};

struct AddressStats {
    std::uint32_t requests = 0;  // request frames sent, retries included
    std::uint32_t answered = 0;  // attempts that ended with a good answer
    std::uint32_t timeouts = 0;
    std::uint32_t retries = 0;  // second and third attempts
    std::uint32_t failed = 0;   // requests that failed for good
    std::uint32_t late = 0;     // frames read after their exchange had ended
    std::array<std::uint32_t, kVerdictCount> received{};  // received frames by verdict
    std::array<std::uint32_t, 3> negative{};              // FC 2, 9, 12
    ReplyTimes times;
    std::int64_t lastAnswerWallUs = 0;  // 0: never

    // Frames with a fault of their own (length bytes, start byte, check byte, end byte, cut off,
    // unknown function code).
    std::uint32_t badFrames() const;
    void merge(const AddressStats& other);
};

class TrafficStats {
public:
    // One attempt has ended with these received frames; replyMs < 0 when nothing came back.
    // sent: the attempt's frame went out (false when the link could not carry it).
    void attemptEnded(const ExchangeOutcome& outcome, std::span<const ReceivedFrame> frames,
                      int replyMs, std::int64_t wallUs, bool sent = true);
    void lateFrames(int address, std::uint32_t count);
    void reset();

    const std::map<int, AddressStats>& addresses() const { return addresses_; }
    AddressStats totals() const;
    // Changes with every update, so a view redraws only when there is something new.
    std::uint64_t version() const { return version_; }

private:
    std::map<int, AddressStats> addresses_;
    std::uint64_t version_ = 0;
};

// Index of the negative counter of a function code (2, 9, 12), or -1.
int negativeIndex(std::uint8_t functionCode);

}  // namespace velor
