// The transfer engine's report to the traffic tap, kept apart from the step machine.

#include "comm/TrafficTap.h"
#include "comm/TransferEngine.h"

namespace velor {

void TransferRun::reportOutcome(int attempt, std::int32_t result) const {
    TrafficTap* tap = ctx_.engine.Tap;
    if (tap == nullptr) return;
    ExchangeOutcome outcome;
    outcome.kind = static_cast<std::uint8_t>(ctx_.engine.RequestKind);
    outcome.address = sentFrameAddress(framed_);
    outcome.attempt = attempt;
    outcome.transferResult = result;
    outcome.status = Request->Status;
    outcome.replyCode = Request->ReplyCode;
    if (StepIndex >= 1 && StepIndex <= kMaxSteps)
        outcome.timeoutMs = Request->step(StepIndex).TimeoutMs;
    tap->attemptEnded(outcome);
}

}  // namespace velor
