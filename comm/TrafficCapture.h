#pragma once
// Capture files of the traffic monitor: classic libpcap with link type 250 (RTAC serial), one
// record per frame. Each record starts with the 12-byte serial header (time of the first byte
// in seconds and microseconds, big-endian; an event type that marks sent or received data; the
// control lines; two footer bytes), then the frame's bytes.

#include <QFile>
#include <cstdint>
#include <span>
#include <string>
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

// A capture file written as the frames come: the header at once, through the program's file
// writer (which refuses a device, a pipe or a folder at the path), then the records through a
// buffer of at most `bound` bytes that goes to the file whenever it fills and at flush().
// A session of any length keeps only the buffer in memory, and one cut short keeps every
// record written out before.
inline constexpr std::size_t kCaptureBufferBytes = 16 * 1024;

class CaptureWriter {
public:
    explicit CaptureWriter(std::size_t bound = kCaptureBufferBytes) : bound_(bound) {}
    ~CaptureWriter() { close(); }
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // Creates (or replaces) the file with the header. False, with errorText(), when it cannot.
    bool open(const std::string& path);
    // Adds a record; false once a write of the file failed (nothing more is written then).
    bool append(const CaptureFrame& frame);
    // Writes the buffer out; false once a write failed.
    bool flush();
    // Flushes and closes; false when a write failed.
    bool close();

    bool isOpen() const { return file_.isOpen(); }
    bool failed() const { return !error_.empty(); }
    // The reason of the first failure; empty while all went well.
    const std::string& errorText() const { return error_; }

private:
    std::size_t bound_;
    QFile file_;
    std::vector<std::uint8_t> buffer_;
    std::string error_;
};

}  // namespace velor
