#pragma once
// Little-endian reads and writes at fixed offsets of a byte image, and the length-prefixed
// short texts that records and files carry. Every file and block of the system goes through
// these, so no record is ever copied from or to memory as a raw struct.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace velor::codec {

inline std::uint8_t getU8(std::span<const std::uint8_t> b, std::size_t off) { return b[off]; }

inline std::uint16_t getU16(std::span<const std::uint8_t> b, std::size_t off)
{
    return static_cast<std::uint16_t>(b[off] | (b[off + 1] << 8));
}

inline std::int16_t getI16(std::span<const std::uint8_t> b, std::size_t off)
{
    return static_cast<std::int16_t>(getU16(b, off));
}

inline std::uint32_t getU32(std::span<const std::uint8_t> b, std::size_t off)
{
    return static_cast<std::uint32_t>(b[off]) | (static_cast<std::uint32_t>(b[off + 1]) << 8) |
           (static_cast<std::uint32_t>(b[off + 2]) << 16) |
           (static_cast<std::uint32_t>(b[off + 3]) << 24);
}

inline std::int32_t getI32(std::span<const std::uint8_t> b, std::size_t off)
{
    return static_cast<std::int32_t>(getU32(b, off));
}

inline float getF32(std::span<const std::uint8_t> b, std::size_t off)
{
    return std::bit_cast<float>(getU32(b, off));
}

inline void putU8(std::span<std::uint8_t> b, std::size_t off, std::uint8_t v) { b[off] = v; }

inline void putU16(std::span<std::uint8_t> b, std::size_t off, std::uint16_t v)
{
    b[off] = static_cast<std::uint8_t>(v);
    b[off + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void putI16(std::span<std::uint8_t> b, std::size_t off, std::int16_t v)
{
    putU16(b, off, static_cast<std::uint16_t>(v));
}

inline void putU32(std::span<std::uint8_t> b, std::size_t off, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void putI32(std::span<std::uint8_t> b, std::size_t off, std::int32_t v)
{
    putU32(b, off, static_cast<std::uint32_t>(v));
}

inline void putF32(std::span<std::uint8_t> b, std::size_t off, float v)
{
    putU32(b, off, std::bit_cast<std::uint32_t>(v));
}

// A short text of at most maxChars characters occupies maxChars + 1 bytes: the length byte,
// then the characters (code page 1250 bytes). A stored length above maxChars is clamped, so a
// damaged file never makes a text longer than its field.
inline std::string getShortText(std::span<const std::uint8_t> b, std::size_t off,
                                std::size_t maxChars)
{
    const std::size_t len = std::min<std::size_t>(b[off], maxChars);
    return std::string(reinterpret_cast<const char*>(b.data() + off + 1), len);
}

// Writes the text cut to maxChars; the bytes behind the text are left as they are.
inline void putShortText(std::span<std::uint8_t> b, std::size_t off, std::size_t maxChars,
                         const std::string& text)
{
    const std::size_t len = std::min(text.size(), maxChars);
    b[off] = static_cast<std::uint8_t>(len);
    if (len > 0) std::memcpy(b.data() + off + 1, text.data(), len);
}

}  // namespace velor::codec
