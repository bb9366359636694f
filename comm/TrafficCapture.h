#pragma once
// Capture files of the traffic monitor: classic libpcap with link type 250 (RTAC serial), one
// record per frame. Each record starts with the 12-byte serial header (time of the first byte
// in seconds and microseconds, big-endian; an event type that marks sent or received data; the
// control lines; two footer bytes), then the frame's bytes.

#include <cstdint>
#include <span>
#include <vector>

#include "comm/TrafficTap.h"

namespace velor {

inline constexpr std::uint32_t kPcapMagic = 0xA1B2C3D4;  // microsecond time stamps
inline constexpr std::uint32_t kLinkTypeRtacSerial = 250;
inline constexpr std::size_t kPcapHeaderBytes = 24;
inline constexpr std::size_t kPcapRecordHeaderBytes = 16;
inline constexpr std::size_t kRtacHeaderBytes = 12;
inline constexpr std::uint8_t kRtacTxStart = 0x01;
inline constexpr std::uint8_t kRtacRxStart = 0x02;

struct CaptureFrame {
    Direction direction = Direction::Tx;
    std::int64_t wallUs = 0;  // since 1970-01-01 UTC
    std::span<const std::uint8_t> bytes;
};

// The file header.
void appendPcapHeader(std::vector<std::uint8_t>& out);
// One record; a frame without bytes (a time-out) has nothing on the wire and adds none.
void appendPcapRecord(std::vector<std::uint8_t>& out, const CaptureFrame& frame);

// The frames of the tap with the given sequence numbers, as a capture file.
std::vector<std::uint8_t> pcapOfFrames(const TrafficTap& tap, std::span<const std::uint64_t> seqs);

}  // namespace velor
