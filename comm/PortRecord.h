#pragma once
// One channel's settings as stored in COM.CFG: a 132-byte little-endian image. The record
// keeps every stored byte (padding, the two unused texts, the whole host field) so that a
// load and save of the file changes nothing the program does not own.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace velor {

inline constexpr std::size_t kPortRecordSize = 132;

// Byte offsets inside the record.
inline constexpr std::size_t kOffPortNumber = 0;
inline constexpr std::size_t kOffUnnamed = 1;
inline constexpr std::size_t kOffBaudIndex = 2;
inline constexpr std::size_t kOffIgnoreLineErrors = 4;
inline constexpr std::size_t kOffNoParity = 5;
inline constexpr std::size_t kOffPadding = 6;
inline constexpr std::size_t kOffHandle = 8;
inline constexpr std::size_t kOffText1 = 12;
inline constexpr std::size_t kOffText2 = 63;
inline constexpr std::size_t kOffTcpHost = 114;

inline constexpr std::size_t kUnusedTextSize = 51;  // length byte + 50 characters
inline constexpr std::size_t kTcpHostSize = 18;     // length byte + 17 characters
inline constexpr std::size_t kTcpHostMaxChars = kTcpHostSize - 1;

static_assert(kOffText1 + kUnusedTextSize == kOffText2);
static_assert(kOffText2 + kUnusedTextSize == kOffTcpHost);
static_assert(kOffTcpHost + kTcpHostSize == kPortRecordSize);

// Baud rates by BaudIndex; an index outside 0..4 is not accepted.
inline constexpr std::array<std::uint16_t, 5> BaudRates{4800, 9600, 19200, 38400, 57600};

// The baud rate at index, or 0 when the index is out of range.
std::uint32_t baudRateAt(unsigned index);

struct PortRecord {
    std::uint8_t PortNumber = 0;  // 0 = TCP, 1..9 = COMn
    std::uint8_t Unnamed = 0;     // not read by the program; 4 by default
    std::uint16_t BaudIndex = 0;
    std::uint8_t IgnoreLineErrors = 0;
    std::uint8_t NoParity = 0;  // 0 = even parity
    std::array<std::uint8_t, 2> Padding{};
    std::int32_t Handle = 0;  // -1 = none; meaningless once stored
    std::array<std::uint8_t, kUnusedTextSize> Text1{};
    std::array<std::uint8_t, kUnusedTextSize> Text2{};
    std::array<std::uint8_t, kTcpHostSize> TcpHost{};  // raw, so unknown bytes survive

    bool operator==(const PortRecord&) const = default;
};

// Reads a record from the first kPortRecordSize bytes of bytes (which must hold that many).
PortRecord decodePortRecord(std::span<const std::uint8_t> bytes);
// Writes the record into the first kPortRecordSize bytes of out.
void encodePortRecord(const PortRecord& record, std::span<std::uint8_t> out);

// The host name of the TCP peer (code page 1250 bytes, at most 17 characters).
std::string getTcpHost(const PortRecord& record);
// Sets the host name, cut to 17 characters; the bytes behind it are left as they are.
void setTcpHost(PortRecord& record, const std::string& host);

// The values a fresh COM.CFG holds: TCP, unnamed byte 4, 38400 Bd, even parity, no handle,
// empty unused texts. Padding and TcpHost are left as they are.
void setDefaultPortRecord(PortRecord& record);

}  // namespace velor
