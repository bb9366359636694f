#pragma once
// Bytes from the simulator's own hex form (as its event log writes them); a text it cannot read
// fails the test.

#include <gtest/gtest.h>

#include <string_view>

#include "tools/modsim/FrameCodec.h"

namespace velor::modsim::test {

inline Bytes hex(std::string_view text) {
    Bytes out;
    EXPECT_TRUE(fromHex(text, out)) << text;
    return out;
}

}  // namespace velor::modsim::test
