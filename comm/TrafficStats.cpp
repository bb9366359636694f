#include "comm/TrafficStats.h"

#include <algorithm>

#include "comm/TrafficTap.h"

namespace velor {

namespace {

constexpr std::int32_t kTimeoutResult = -1;
constexpr std::uint8_t kStatusRunningValue = 1;
constexpr std::uint8_t kStatusDoneValue = 2;

std::size_t indexOf(Verdict v) {
    return static_cast<std::size_t>(v);
}

}  // namespace

void ReplyTimes::add(int ms) {
    ms = std::max(ms, 0);
    if (bins_.empty()) bins_.assign(kReplyHistogramMs + 1, 0);
    ++bins_[static_cast<std::size_t>(std::min(ms, kReplyHistogramMs))];
    min_ = count_ == 0 ? ms : std::min(min_, ms);
    max_ = count_ == 0 ? ms : std::max(max_, ms);
    sum_ += ms;
    ++count_;
}

int ReplyTimes::percentile(int p) const {
    if (count_ == 0) return 0;
    // Rank ceil(p/100 * count), at least 1.
    const std::uint64_t rank = std::max<std::uint64_t>(1, (std::uint64_t{count_} * p + 99) / 100);
    std::uint64_t seen = 0;
    for (std::size_t ms = 0; ms < bins_.size(); ++ms) {
        seen += bins_[ms];
        if (seen >= rank) return ms == kReplyHistogramMs ? max_ : static_cast<int>(ms);
    }
    return max_;
}

void ReplyTimes::merge(const ReplyTimes& other) {
    if (other.count_ == 0) return;
    if (bins_.empty()) bins_.assign(kReplyHistogramMs + 1, 0);
    for (std::size_t i = 0; i < bins_.size(); ++i) bins_[i] += other.bins_[i];
    min_ = count_ == 0 ? other.min_ : std::min(min_, other.min_);
    max_ = count_ == 0 ? other.max_ : std::max(max_, other.max_);
    sum_ += other.sum_;
    count_ += other.count_;
}

std::uint32_t AddressStats::badFrames() const {
    std::uint32_t sum = 0;
    for (Verdict v : {Verdict::LengthMismatch, Verdict::SecondStartMissing, Verdict::WrongChecksum,
                      Verdict::EndMissing, Verdict::Incomplete, Verdict::ShortUnknownCode}) {
        sum += received[indexOf(v)];
    }
    return sum;
}

void AddressStats::merge(const AddressStats& o) {
    requests += o.requests;
    answered += o.answered;
    timeouts += o.timeouts;
    retries += o.retries;
    failed += o.failed;
    late += o.late;
    for (std::size_t i = 0; i < received.size(); ++i) received[i] += o.received[i];
    for (std::size_t i = 0; i < negative.size(); ++i) negative[i] += o.negative[i];
    times.merge(o.times);
    lastAnswerWallUs = std::max(lastAnswerWallUs, o.lastAnswerWallUs);
}

int negativeIndex(std::uint8_t functionCode) {
    switch (functionCode) {
        case 2:
            return 0;
        case 9:
            return 1;
        case 12:
            return 2;
        default:
            return -1;
    }
}

void TrafficStats::attemptEnded(const ExchangeOutcome& outcome,
                                std::span<const ReceivedFrame> frames, int replyMs,
                                std::int64_t wallUs, bool sent) {
    AddressStats& s = addresses_[outcome.address];
    ++version_;
    if (sent) ++s.requests;
    if (sent && outcome.attempt > 1) ++s.retries;
    if (outcome.transferResult == kTimeoutResult) ++s.timeouts;
    for (const ReceivedFrame& f : frames) {
        ++s.received[indexOf(f.verdict.code)];
        if (f.verdict.code != Verdict::ShortNegative) continue;
        const int negative = negativeIndex(f.verdict.a);
        if (negative >= 0) ++s.negative[static_cast<std::size_t>(negative)];
    }
    if (outcome.status == kStatusDoneValue) {
        ++s.answered;
        s.lastAnswerWallUs = wallUs;
        if (replyMs >= 0) s.times.add(replyMs);
    } else if (outcome.status != kStatusRunningValue) {
        ++s.failed;
    }
}

void TrafficStats::lateFrames(int address, std::uint32_t count) {
    if (count == 0) return;
    ++version_;
    addresses_[address].late += count;
}

void TrafficStats::reset() {
    addresses_.clear();
    ++version_;
}

AddressStats TrafficStats::totals() const {
    AddressStats all;
    for (const auto& [address, s] : addresses_) all.merge(s);
    return all;
}

}  // namespace velor
