#pragma once
// The kind of the request being built: it picks the builder, the frame and the attempts in the
// engine, and the decoder section of the answer.

#include <cstdint>

namespace velor {

enum class RequestKind : std::uint8_t {
    Kalu = 0,
    Tev = 1,
    Tew = 2,
    Tevw = 3,
    Mokr = 4,
    Probe = 5,   // address probe: short frame, single attempt
    Config = 6,  // a block of a configuration send
};

}  // namespace velor
