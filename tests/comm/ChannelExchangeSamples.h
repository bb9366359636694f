#pragma once
// One exchange as the channel tests run it: the request framed for module 5 and the reply the
// far end gives.

#include <algorithm>
#include <vector>

#include "comm/TransferRequest.h"
#include "support/HexBytes.h"

namespace velor::test {

// d e = 0D 0E; CS of 01 02 03 0D 0E is 21.
inline const char* const kReply = "68 05 05 68 01 02 03 0D 0E 21 16";
inline const char* const kFramed = "68 04 04 68 05 40 6C 0B BC 16";

struct Exchange {
    std::vector<std::uint8_t> data = std::vector<std::uint8_t>(kBufferSize);
    TransferRequest req;
    Exchange() {
        const auto user = hex("05 40 6C 0B");
        std::copy(user.begin(), user.end(), data.begin());
        req.Buffer = data;
        req.Length = 4;
        req.step(1) = {kOpSendFrame, 0, 1000};
        req.step(2) = {kOpReceiveFrame, 0, 1000};
        req.step(3) = {kOpEnd, 0, 0};
    }
};

}  // namespace velor::test
