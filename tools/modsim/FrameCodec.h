#pragma once
// Link frames as a module sees them: it receives short frames 10 U1 U2 U3 CS 16 (the probe) and
// variable frames 68 L L 68 U1..UL CS 16, and answers with the single byte E5, a variable frame
// or a short negative reply 10 A 40 FC CS 16. Written independently of the program's own frame
// code so that the two can check each other.

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace velor::modsim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kShortStart = 0x10;
inline constexpr std::uint8_t kVariableStart = 0x68;
inline constexpr std::uint8_t kEndByte = 0x16;
inline constexpr std::uint8_t kAck = 0xE5;
inline constexpr std::size_t kShortFrameSize = 6;  // 10 U1 U2 U3 CS 16
inline constexpr std::size_t kMaxUserData = 255;

std::uint8_t checksum8(std::span<const std::uint8_t> bytes);

// Variable frame around userData; userData longer than 255 bytes is cut to 255 by the caller's
// contract, so this returns an empty frame instead of a wrong one.
Bytes buildVariableFrame(std::span<const std::uint8_t> userData);
Bytes buildShortFrame(std::span<const std::uint8_t> userData);
Bytes buildNegativeReply(std::uint8_t address, std::uint8_t functionCode);

struct Frame {
    enum class Kind { Short, Variable };
    Kind kind = Kind::Variable;
    Bytes userData;
    Bytes raw;
};

struct Dropped {
    Bytes bytes;
    std::string reason;
};

using ParsedItem = std::variant<Frame, Dropped>;

// Stream parser for the request direction. Bytes before a start byte are dropped; a start byte
// whose frame fails a check is dropped alone and the search goes on from the next byte, so a
// good frame hidden behind a broken header is still found.
class FrameParser {
public:
    // An incomplete frame older than this is given up when new bytes arrive.
    static constexpr std::int64_t kStaleMs = 500;

    std::vector<ParsedItem> feed(std::span<const std::uint8_t> bytes, std::int64_t nowMs);
    std::size_t pending() const { return buffer_.size(); }

private:
    enum class Step { NeedMore, Progress };
    Step parseOne(std::vector<ParsedItem>& out);
    Step parseShort(std::vector<ParsedItem>& out);
    Step parseVariable(std::vector<ParsedItem>& out);
    void drop(std::size_t count, const char* reason, std::vector<ParsedItem>& out);

    Bytes buffer_;
    std::int64_t lastFeedMs_ = 0;
};

std::string toHex(std::span<const std::uint8_t> bytes, bool spaced = false);
// Parses "68 04 04 68" or "68040468"; returns false on anything else.
bool fromHex(std::string_view text, Bytes& out);

}  // namespace velor::modsim
