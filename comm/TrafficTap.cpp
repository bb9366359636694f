#include "comm/TrafficTap.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace velor {

namespace {

constexpr std::int32_t kTimeoutResult = -1;
constexpr std::int32_t kPortFailedResult = -2;

std::int64_t sinceEpochUs(std::chrono::nanoseconds d) {
    return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
}

FrameVerdict noBytesVerdict(Verdict code, std::uint16_t n, bool bytesCame) {
    FrameVerdict v;
    v.code = code;
    v.n = n;
    v.a = bytesCame ? 1 : 0;
    return v;
}

}  // namespace

TrafficTime SystemTrafficClock::now() {
    return {sinceEpochUs(std::chrono::steady_clock::now().time_since_epoch()),
            sinceEpochUs(std::chrono::system_clock::now().time_since_epoch())};
}

TrafficTap::TrafficTap(TrafficClock& clock, std::size_t capacity)
    : clock_(clock), capacity_(std::max<std::size_t>(capacity, 1)) {
    pending_.reserve(kTrafficPendingBytes);
    chunks_.reserve(kTrafficChunks);
}

TrafficTap::~TrafficTap() = default;

void TrafficTap::attemptStarted(const AttemptStart& start) {
    start_ = start;
    startReported_ = true;
}

void TrafficTap::written(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    flushLate();
    if (attemptOpen_) {
        // The last attempt never reported its end: keep what it received, without a verdict on
        // the exchange.
        appendReceived(assembleReceived(pending_), nullptr, false);
        resetPending();
    }
    TrafficFrame f;
    f.time = clock_.now();
    f.direction = Direction::Tx;
    f.address = static_cast<std::int16_t>(sentFrameAddress(bytes));
    if (startReported_) {
        f.kind = start_.kind;
        f.attempt = static_cast<std::uint8_t>(start_.attempt);
    }
    f.verdict.code = f.attempt > 1 ? Verdict::Retry : Verdict::Request;
    f.verdict.n = f.attempt;
    appendFrame(f, bytes);
    startReported_ = false;
    attemptOpen_ = true;
    sentAt_ = f.time;
    lastAddress_ = f.address;
    lastKind_ = f.kind;
}

void TrafficTap::read(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    const std::size_t take = std::min(bytes.size(), kTrafficPendingBytes - pending_.size());
    lostBytes_ += bytes.size() - take;
    if (take == 0) return;
    lastReadAt_ = clock_.now();
    // Past the chunk limit the bytes keep the time of the last chunk.
    if (chunks_.size() < kTrafficChunks) chunks_.push_back({pending_.size(), lastReadAt_});
    pending_.insert(pending_.end(), bytes.begin(),
                    bytes.begin() + static_cast<std::ptrdiff_t>(take));
}

void TrafficTap::attemptEnded(const ExchangeOutcome& outcome) {
    if (!attemptOpen_) flushLate();
    const auto frames = assembleReceived(pending_);
    appendReceived(frames, &outcome, false);
    TrafficFrame f;
    f.time = clock_.now();
    f.direction = Direction::Rx;
    f.address = static_cast<std::int16_t>(outcome.address);
    f.kind = outcome.kind;
    f.attempt = static_cast<std::uint8_t>(outcome.attempt);
    const bool bytesCame = !pending_.empty();
    if (outcome.transferResult == kTimeoutResult) {
        f.verdict = noBytesVerdict(Verdict::Timeout, outcome.timeoutMs, bytesCame);
        appendFrame(f, {});
    } else if (outcome.transferResult == kPortFailedResult) {
        f.verdict = noBytesVerdict(Verdict::PortFailed, 0, bytesCame);
        appendFrame(f, {});
    } else if (outcome.transferResult > 0) {
        f.verdict = noBytesVerdict(Verdict::LinkError,
                                   static_cast<std::uint16_t>(outcome.transferResult), bytesCame);
        appendFrame(f, {});
    }
    int replyMs = -1;
    if (attemptOpen_ && bytesCame) {
        replyMs = static_cast<int>((lastReadAt_.monoUs - sentAt_.monoUs + 500) / 1000);
    }
    // An attempt whose frame never went out is no request sent.
    stats_.attemptEnded(outcome, frames, replyMs, f.time.wallUs, attemptOpen_);
    resetPending();
    attemptOpen_ = false;
    lastAddress_ = outcome.address;
    lastKind_ = outcome.kind;
}

void TrafficTap::flushLate() {
    if (attemptOpen_ || pending_.empty()) return;
    const auto before = nextSeq_;
    appendReceived(assembleReceived(pending_), nullptr, true);
    stats_.lateFrames(lastAddress_, static_cast<std::uint32_t>(nextSeq_ - before));
    resetPending();
}

void TrafficTap::appendReceived(std::span<const ReceivedFrame> frames,
                                const ExchangeOutcome* outcome, bool late) {
    const std::span<const std::uint8_t> bytes = pending_;
    for (const ReceivedFrame& r : frames) {
        TrafficFrame f;
        f.time = timeAt(r.offset);
        f.direction = Direction::Rx;
        f.address = static_cast<std::int16_t>(outcome ? outcome->address : lastAddress_);
        f.kind = outcome ? outcome->kind : lastKind_;
        f.attempt = static_cast<std::uint8_t>(outcome ? outcome->attempt : 0);
        f.verdict = r.verdict;
        f.verdict.late = late;
        appendFrame(f, bytes.subspan(r.offset, r.length));
    }
}

TrafficTime TrafficTap::timeAt(std::size_t offset) const {
    const auto after = std::upper_bound(chunks_.begin(), chunks_.end(), offset,
                                        [](std::size_t o, const Chunk& c) { return o < c.offset; });
    if (after == chunks_.begin()) return lastReadAt_;
    return std::prev(after)->time;
}

void TrafficTap::appendFrame(TrafficFrame frame, std::span<const std::uint8_t> bytes) {
    if (ring_.capacity() < capacity_) ring_.reserve(capacity_);
    if (nextSeq_ - firstSeq_ >= capacity_) dropOldestFrame();
    frame.length = static_cast<std::uint16_t>(std::min<std::size_t>(bytes.size(), 0xFFFF));
    frame.bytesAt = store(bytes.first(frame.length));
    frame.seq = nextSeq_++;
    const std::size_t index = frame.seq % capacity_;
    if (index >= ring_.size()) ring_.resize(index + 1);
    ring_[index] = frame;
}

const TrafficFrame* TrafficTap::frame(std::uint64_t seq) const {
    if (seq < firstSeq_ || seq >= nextSeq_) return nullptr;
    return &ring_[seq % capacity_];
}

std::span<const std::uint8_t> TrafficTap::bytes(const TrafficFrame& frame) const {
    if (frame.length == 0) return {};
    const std::uint64_t block = frame.bytesAt / kTrafficBlockBytes;
    if (block < oldestBlock_ || block >= oldestBlock_ + kTrafficBlocks) return {};
    const auto& memory = blocks_[block % kTrafficBlocks];
    if (!memory) return {};
    return {memory.get() + frame.bytesAt % kTrafficBlockBytes, frame.length};
}

std::uint64_t TrafficTap::store(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return head_;
    std::uint64_t block = head_ / kTrafficBlockBytes;
    // A frame never straddles two blocks.
    if (head_ % kTrafficBlockBytes + bytes.size() > kTrafficBlockBytes) {
        ++block;
        head_ = block * kTrafficBlockBytes;
    }
    while (block >= oldestBlock_ + kTrafficBlocks) dropOldestBlock();
    auto& memory = blocks_[block % kTrafficBlocks];
    if (!memory) memory.reset(new std::uint8_t[kTrafficBlockBytes]);
    std::memcpy(memory.get() + head_ % kTrafficBlockBytes, bytes.data(), bytes.size());
    const std::uint64_t at = head_;
    head_ += bytes.size();
    return at;
}

void TrafficTap::dropOldestBlock() {
    while (firstSeq_ < nextSeq_ && frame(firstSeq_)->bytesAt / kTrafficBlockBytes <= oldestBlock_)
        dropOldestFrame();
    ++oldestBlock_;
}

void TrafficTap::dropOldestFrame() {
    ++firstSeq_;
    ++dropped_;
}

void TrafficTap::clear() {
    firstSeq_ = nextSeq_;
    for (auto& memory : blocks_) memory.reset();
    head_ = (head_ / kTrafficBlockBytes + 1) * kTrafficBlockBytes;
    oldestBlock_ = head_ / kTrafficBlockBytes;
}

void TrafficTap::resetPending() {
    pending_.clear();
    chunks_.clear();
}

}  // namespace velor
