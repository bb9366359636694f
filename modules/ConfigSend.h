#pragma once
// The configuration send as the main loop runs it, without the loop: the target the send flags
// name, the next block with the images prepared as the module will hold them, and the half a
// KALU send goes on with after a failed block. The loop and velor-cli both send through these.

#include <cstdint>
#include <span>

#include "comm/TransferRequest.h"
#include "config/ConfigState.h"
#include "modules/RequestBuilders.h"

namespace velor {

// The target of the send flags of c.
ConfigTarget sendTarget(const ConfigState& c);

// The next block of a send to target. The prepared images (tag and baud code of
// c.TargetBaudIndex) are written back into c, as they are what the module now holds; the ZEPA
// block is prepared in zepaImage (24 bytes).
ConfigBlock nextConfigBlock(ConfigState& c, ConfigTarget target, bool kaluSecondHalf,
                            std::span<std::uint8_t> zepaImage);

// The half a send continues with after a failed block: a KALU send starts again with its first
// half, since the first half carries "save" and the new baud code; other targets have one block.
bool kaluHalfAfterFailedBlock(ConfigTarget target, bool kaluSecondHalf);

// The step program of every request of the loop: frame and send, receive a frame, end; each
// step with the reply time-out. Clears the reply code left from an earlier negative reply.
void setExchangeSteps(TransferRequest& request, std::uint16_t replyTimeout);

}  // namespace velor
