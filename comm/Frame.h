#pragma once
// Link frames: the check bytes, framing of a request in place, and the receiver that takes a
// reply frame apart as its bytes arrive. Plain functions over byte spans, no port, no timer.

#include <cstdint>
#include <span>

namespace velor {

inline constexpr std::uint8_t kShortStart = 0x10;
inline constexpr std::uint8_t kVariableStart = 0x68;
inline constexpr std::uint8_t kFrameEnd = 0x16;
inline constexpr std::uint8_t kAcknowledge = 0xE5;
inline constexpr std::int32_t kMaxVariableUserData = 255;

// Sum of the bytes modulo 256; the empty sum is 0.
std::uint8_t Checksum8(std::span<const std::uint8_t> bytes);
// The complemented check byte (255 - Checksum8) that a plain checked block ends with.
std::uint8_t checksum8Complement(std::span<const std::uint8_t> bytes);

// Frames the user data buffer[0..length-1] in place: a short frame 10 U.. CS 16 when
// shortFrame, otherwise the variable frame 68 n n 68 U.. CS 16. length becomes the framed
// length. Returns false, leaving buffer and length untouched, when length is negative, the
// framed request does not fit the buffer, or a variable frame would carry more than 255 bytes.
bool frameInPlace(std::span<std::uint8_t> buffer, std::int32_t& length, bool shortFrame);

// Where the receiver gets the bytes that have arrived.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads at most count bytes that have already arrived; returns how many were read.
    virtual int read(std::uint8_t* destination, int count) = 0;
};

enum class ReceiveOutcome {
    Pending,        // more bytes are needed
    Acknowledged,   // the single acknowledgement 0xE5; buffer[0] holds it
    ShortReply,     // 0x10 and at least five more bytes, now in buffer[0..]
    VariableReply,  // checked variable frame; buffer[0..length-1] holds D4..DL
    WrongReply,     // lengths, 0x68, CS or 0x16 wrong, or more arrived than the buffer holds
};

// The reply receiver of a receive-frame step. One call per receive phase: it looks at how many
// bytes are waiting and reads only those. ReceiveState: 0 waiting for a start byte, 1 short
// frame, 2 variable frame header, 3 variable frame body, 4 acknowledged.
struct FrameReceiver {
    std::uint8_t ReceiveState = 0;

    ReceiveOutcome receive(int waiting, ByteSource& source, std::span<std::uint8_t> buffer,
                           std::int32_t& length);

private:
    ReceiveOutcome waitStart(int waiting, ByteSource& source, std::span<std::uint8_t> buffer);
    ReceiveOutcome shortFrame(int waiting, ByteSource& source, std::span<std::uint8_t> buffer);
    ReceiveOutcome header(int waiting, ByteSource& source, std::span<std::uint8_t> buffer,
                          std::int32_t& length);
    ReceiveOutcome body(int waiting, ByteSource& source, std::span<std::uint8_t> buffer,
                        std::int32_t& length);
};

// Reads all waiting bytes into buffer; when more are waiting than the buffer holds, the
// surplus is read and thrown away and -1 is returned. Otherwise returns the count read.
int readAllWaiting(int waiting, ByteSource& source, std::span<std::uint8_t> buffer);

}  // namespace velor
