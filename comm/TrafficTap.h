#pragma once
// The traffic tap: what went over channel 1 and how each exchange ended, kept as frames with
// their verdicts in a bounded ring for the traffic monitor. The channel reports every chunk it
// writes and reads, the engine every attempt it starts and ends. The tap only records: it never
// blocks, never reads the channel and keeps no reference to a request; without a tap (null
// pointer) nothing is recorded and nothing costs.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "comm/TrafficFrames.h"
#include "comm/TrafficStats.h"

namespace velor {

// The frames the ring keeps; the oldest go when it is full.
inline constexpr std::size_t kTrafficFrameCapacity = 100'000;
// Bytes of the frames live in blocks of an arena of bounded size (32 MiB).
inline constexpr std::size_t kTrafficBlockBytes = 1u << 20;
inline constexpr std::size_t kTrafficBlocks = 32;
// Bytes one attempt keeps; anything beyond is counted as lost.
inline constexpr std::size_t kTrafficPendingBytes = 8192;
// Arrival times one attempt keeps; later chunks share the last time.
inline constexpr std::size_t kTrafficChunks = 1024;

struct TrafficTime {
    std::int64_t monoUs = 0;  // monotonic, for differences
    std::int64_t wallUs = 0;  // microseconds since 1970-01-01 UTC
};

class TrafficClock {
public:
    virtual ~TrafficClock() = default;
    virtual TrafficTime now() = 0;
};

class SystemTrafficClock : public TrafficClock {
public:
    TrafficTime now() override;
};

enum class Direction : std::uint8_t { Tx, Rx };

inline constexpr std::uint8_t kUnknownKind = 0xFF;

struct TrafficFrame {
    std::uint64_t seq = 0;
    TrafficTime time;           // of the first byte
    std::uint64_t bytesAt = 0;  // position in the arena
    std::uint16_t length = 0;
    std::int16_t address = -1;  // module address, -1 unknown
    std::uint8_t kind = kUnknownKind;
    std::uint8_t attempt = 0;  // 1..3, 0 outside an exchange
    Direction direction = Direction::Tx;
    FrameVerdict verdict;
};

// What the engine reports when it starts sending an attempt.
struct AttemptStart {
    std::uint8_t kind = kUnknownKind;
    int attempt = 1;
};

// What the engine reports when an attempt has ended.
struct ExchangeOutcome {
    std::uint8_t kind = kUnknownKind;
    int address = -1;
    int attempt = 1;  // 1..3
    std::int32_t transferResult = 0;
    std::uint8_t status = 0;  // 1 while a retry follows
    std::uint8_t replyCode = 0;
    std::uint16_t timeoutMs = 0;  // of the step that was running
};

class TrafficTap {
public:
    explicit TrafficTap(TrafficClock& clock, std::size_t capacity = kTrafficFrameCapacity);
    ~TrafficTap();
    TrafficTap(const TrafficTap&) = delete;
    TrafficTap& operator=(const TrafficTap&) = delete;

    // The channel: a chunk written to or read from channel 1.
    void written(std::span<const std::uint8_t> bytes);
    void read(std::span<const std::uint8_t> bytes);
    // The engine: an attempt's frame is about to go out; an attempt has ended.
    void attemptStarted(const AttemptStart& start);
    void attemptEnded(const ExchangeOutcome& outcome);

    // Frames with seq in [firstSeq, nextSeq) are held; older ones were dropped.
    std::uint64_t firstSeq() const { return firstSeq_; }
    std::uint64_t nextSeq() const { return nextSeq_; }
    const TrafficFrame* frame(std::uint64_t seq) const;
    std::span<const std::uint8_t> bytes(const TrafficFrame& frame) const;
    std::uint64_t dropped() const { return dropped_; }
    std::uint64_t lostBytes() const { return lostBytes_; }
    // Forgets every frame (the statistics stay).
    void clear();

    const TrafficStats& stats() const { return stats_; }
    TrafficStats& stats() { return stats_; }
    // The clock that stamps the frames; readers of the tap pace themselves by it too.
    TrafficClock& clock() const { return clock_; }

    // Memory the ring, the arena and the attempt in flight hold at most.
    static constexpr std::size_t memoryBound(std::size_t capacity = kTrafficFrameCapacity) {
        return capacity * sizeof(TrafficFrame) + kTrafficBlocks * kTrafficBlockBytes +
               kTrafficPendingBytes + kTrafficChunks * sizeof(Chunk);
    }

private:
    struct Chunk {
        std::size_t offset;
        TrafficTime time;
    };

    void flushLate();
    // Appends the frames of the pending bytes.
    void appendReceived(std::span<const ReceivedFrame> frames, const ExchangeOutcome* outcome,
                        bool late);
    void appendFrame(TrafficFrame frame, std::span<const std::uint8_t> bytes);
    TrafficTime timeAt(std::size_t offset) const;
    std::uint64_t store(std::span<const std::uint8_t> bytes);
    void dropOldestFrame();
    void dropOldestBlock();
    void resetPending();

    TrafficClock& clock_;
    std::size_t capacity_;
    std::vector<TrafficFrame> ring_;
    std::uint64_t firstSeq_ = 0;
    std::uint64_t nextSeq_ = 0;
    std::uint64_t dropped_ = 0;
    std::uint64_t lostBytes_ = 0;

    std::array<std::unique_ptr<std::uint8_t[]>, kTrafficBlocks> blocks_;
    std::uint64_t head_ = 0;         // arena position of the next byte
    std::uint64_t oldestBlock_ = 0;  // first block still holding frames

    // The attempt in flight (or, between attempts, bytes read after the last one ended).
    bool attemptOpen_ = false;
    bool startReported_ = false;
    AttemptStart start_;
    TrafficTime sentAt_;
    TrafficTime lastReadAt_;
    std::vector<std::uint8_t> pending_;
    std::vector<Chunk> chunks_;
    int lastAddress_ = -1;
    std::uint8_t lastKind_ = kUnknownKind;

    TrafficStats stats_;
};

}  // namespace velor
