#include "comm/TransferEngine.h"

#include <algorithm>
#include <array>

#include "comm/TrafficTap.h"

namespace velor {

namespace {

class ChannelSource : public ByteSource {
public:
    ChannelSource(ChannelIo& io, int channel) : io_(io), channel_(channel) {}
    int read(std::uint8_t* destination, int count) override {
        return io_.read(channel_, destination, count);
    }

private:
    ChannelIo& io_;
    int channel_;
};

std::uint8_t replyCodeOf(std::uint8_t functionCode, std::uint8_t& status) {
    status = kStatusFailed;
    switch (functionCode) {
        case 0:
            status = kStatusDone;
            return 0;
        case 2:
            return 1;
        case 9:
            return 2;
        case 12:
            return 3;
        default:
            // An unknown function code still ends the request, so no caller waits for ever.
            return 0;
    }
}

}  // namespace

TransferRun::TransferRun(TransferContext context, TransferRequest& request)
    : Request(&request), ctx_(context) {}

void TransferRun::tick() {
    try {
        tickUnchecked();
    } catch (...) {
        // The timer carries on; the request keeps the state it had reached.
    }
}

void TransferRun::tickUnchecked() {
    if (!timerEnabled_ || released_) return;
    if (settling_) {
        settle();
        return;
    }
    if (StepIndex == 0) {
        // A port that could not be opened is reported as unusable at once, not probed as if
        // the module were silent.
        if (!ctx_.io.isUsable(Request->Channel)) {
            ctx_.transferResult = kResultPortFailed;
            finish();
            return;
        }
        if (waitOutLateSpan()) return;
        discardInput();
        sent_ = false;
    }
    if (StepDone) {
        sendPhase();
        return;
    }
    receivePhase();
}

int TransferRun::discardInput() {
    std::array<std::uint8_t, kDiscardBytes> scratch{};
    return ctx_.io.read(Request->Channel, scratch.data(), kDiscardBytes);
}

// Nothing in a frame ties an answer to its request, so timing must: an answer that starts
// within one time-out after an attempt timed out belongs to that attempt. The next attempt goes
// out only once that span has passed; what arrives meanwhile is dropped (the traffic tap shows
// it as late). An answer still arriving at the end of the span is taken off the line whole,
// for at most one more span.
bool TransferRun::waitOutLateSpan() {
    EngineState& e = ctx_.engine;
    if (!e.LateSpanOpen) return false;
    const std::uint32_t now = ctx_.clock.tickMs();
    const bool arriving = discardInput() > 0;
    const auto left = static_cast<std::int32_t>(e.LateSpanEnd - now);
    if (left > 0 || (arriving && -left < e.LateSpanMs)) return true;
    e.LateSpanOpen = false;
    return false;
}

// The span is one more time-out after the one the step waited out, counted from the step's
// start like the time-out itself, not from the tick that noticed it.
void TransferRun::openLateSpan() {
    const std::int32_t failed = std::clamp<std::int32_t>(StepIndex, 1, kMaxSteps);
    EngineState& e = ctx_.engine;
    e.LateSpanMs = Request->step(failed).TimeoutMs;
    e.LateSpanEnd = static_cast<std::uint32_t>(e.StepStartTick) + 2U * e.LateSpanMs;
    e.LateSpanOpen = true;
}

void TransferRun::sendPhase() {
    ++StepIndex;
    StepDone = false;
    if (StepIndex > kMaxSteps) {
        // Every step done and no end step: stop instead of running the program again.
        failProgram();
        return;
    }
    if (sendAction(Request->step(StepIndex))) return;
    ctx_.engine.StepStartTick = static_cast<std::int32_t>(ctx_.clock.tickMs());
}

void TransferRun::receivePhase() {
    const std::uint32_t now = ctx_.clock.tickMs();
    if (now < static_cast<std::uint32_t>(ctx_.engine.StepStartTick)) ctx_.engine.StepStartTick = 0;
    const std::uint32_t elapsed = now - static_cast<std::uint32_t>(ctx_.engine.StepStartTick);
    const TransferStep& step = Request->step(StepIndex);
    if (elapsed > step.TimeoutMs) {
        ctx_.transferResult = kResultTimeout;
        finish();
        return;
    }
    if (receiveAction(step)) return;
    // The end step is not waited for.
    if (StepDone && StepIndex < kMaxSteps && Request->step(StepIndex + 1).Opcode == kOpEnd) {
        ctx_.transferResult = kResultOk;
        finish();
    }
}

bool TransferRun::sendAction(const TransferStep& step) {
    const int channel = Request->Channel;
    sent_ = sent_ || step.Opcode == kOpSendByte || step.Opcode == kOpSendByteQueued ||
            step.Opcode == kOpSendBlock || step.Opcode == kOpSendFrame;
    switch (step.Opcode) {
        case kOpSendByte:
        case kOpSendByteQueued:
            ctx_.io.transmitByte(channel, step.Operand);
            return false;
        case kOpSendBlock:
            return sendBlock();
        case kOpEnd:
            ctx_.transferResult = kResultOk;
            finish();
            return true;
        case kOpSendFrame:
            return sendFrame();
        case kOpReceiveFrame:
            Receiver.ReceiveState = 0;
            return false;
        default:
            return false;
    }
}

bool TransferRun::receiveAction(const TransferStep& step) {
    switch (step.Opcode) {
        case kOpReceiveByte:
            return receiveByte(step);
        case kOpSendByte:
        case kOpSendBlock:
        case kOpSendByteQueued:
            return waitOutputDrained();
        case kOpReceiveBlock:
            return receiveBlock();
        case kOpSendFrame:
            if (ctx_.io.isTcp(Request->Channel)) {
                // A TCP send has no output queue to watch.
                ctx_.transferResult = kResultOk;
                StepDone = true;
                return false;
            }
            return waitOutputDrained();
        case kOpReceiveFrame:
            return receiveFrame();
        default:
            return false;
    }
}

bool TransferRun::lineErrorsStop(std::uint32_t errors) const {
    return errors != 0 && !ctx_.io.ignoreLineErrors(Request->Channel);
}

std::optional<LineState> TransferRun::receivingLine(int channel) {
    const LineState line = ctx_.io.lineState(channel);
    ctx_.transferResult = static_cast<std::int32_t>(line.errors);
    if (!lineErrorsStop(line.errors)) return line;
    finish();
    return std::nullopt;
}

bool TransferRun::failWrongReply() {
    ctx_.transferResult = kResultWrongReply;
    finish();
    return true;
}

bool TransferRun::receiveByte(const TransferStep& step) {
    const int channel = Request->Channel;
    const std::optional<LineState> line = receivingLine(channel);
    if (!line) return true;
    std::uint8_t byte = 0;
    if (line->inQueue < 1 || ctx_.io.read(channel, &byte, 1) != 1) return false;
    if (byte != step.Operand) return failWrongReply();
    StepDone = true;
    return false;
}

bool TransferRun::waitOutputDrained() {
    const LineState line = ctx_.io.lineState(Request->Channel);
    ctx_.transferResult = static_cast<std::int32_t>(line.errors);
    if (line.outQueue == 0) StepDone = true;
    return false;
}

bool TransferRun::receiveBlock() {
    const int channel = Request->Channel;
    const std::optional<LineState> line = receivingLine(channel);
    if (!line) return true;
    const std::int32_t length = Request->Length;
    const auto data = Request->data();
    if (length < 1 || static_cast<std::size_t>(length) > data.size()) return failWrongReply();
    if (line->inQueue < static_cast<std::uint32_t>(length)) return false;
    const int got = ctx_.io.read(channel, data.data(), length);
    const auto body = data.first(static_cast<std::size_t>(length - 1));
    if (got != length || data[static_cast<std::size_t>(length - 1)] != checksum8Complement(body))
        return failWrongReply();
    StepDone = true;
    return false;
}

bool TransferRun::sendBlock() {
    const std::int32_t length = Request->Length;
    const auto data = Request->data();
    if (length < 1 || static_cast<std::size_t>(length) > data.size()) {
        failProgram();
        return true;
    }
    const auto last = static_cast<std::size_t>(length - 1);
    data[last] = Checksum8(data.first(last));
    ctx_.io.write(Request->Channel, data.data(), length);
    return false;
}

bool TransferRun::sendFrame() {
    const auto data = Request->data();
    // The request is framed once, by the first send that runs: a step before it may have failed
    // the first attempt, and the user data must still go out framed.
    if (Attempt == 0 || framed_.empty()) {
        const bool shortFrame = ctx_.engine.RequestKind == RequestKind::Probe;
        if (!frameInPlace(data, Request->Length, shortFrame)) {
            failProgram();
            return true;
        }
        framed_.assign(data.begin(), data.begin() + Request->Length);
    } else {
        // The failed attempt's reception overwrote the buffer: send the saved frame again.
        std::copy(framed_.begin(), framed_.end(), data.begin());
        Request->Length = static_cast<std::int32_t>(framed_.size());
    }
    if (TrafficTap* tap = ctx_.engine.Tap)
        tap->attemptStarted({static_cast<std::uint8_t>(ctx_.engine.RequestKind), Attempt + 1});
    const int written = ctx_.io.write(Request->Channel, data.data(), Request->Length);
    if (ctx_.io.isTcp(Request->Channel) && written < Request->Length) {
        // No answer can come to a frame that never left: the attempt fails at once.
        sent_ = false;
        ctx_.transferResult = kResultTcpNotSent;
        finish();
        return true;
    }
    return false;
}

bool TransferRun::receiveFrame() {
    const int channel = Request->Channel;
    int waiting = 0;
    if (ctx_.io.isTcp(channel)) {
        const TcpStatus tcp = ctx_.io.tcpState(channel);
        ctx_.transferResult = tcp.state;
        waiting = tcp.waiting;
    } else {
        const LineState line = ctx_.io.lineState(channel);
        ctx_.transferResult = static_cast<std::int32_t>(line.errors);
        waiting = static_cast<int>(std::min<std::uint32_t>(line.inQueue, 0x7FFFFFFF));
    }
    // A TCP peer that closed right after its reply: the bytes that came before still count.
    const bool tcpBytesLeft = ctx_.io.isTcp(channel) && waiting > 0;
    if (ctx_.transferResult != kResultOk && !tcpBytesLeft) {
        finish();
        return true;
    }
    ctx_.transferResult = kResultOk;
    ChannelSource source(ctx_.io, channel);
    const ReceiveOutcome outcome =
        Receiver.receive(waiting, source, Request->data(), Request->Length);
    switch (outcome) {
        case ReceiveOutcome::Acknowledged:
        case ReceiveOutcome::VariableReply:
            Request->Acknowledged = outcome == ReceiveOutcome::Acknowledged;
            StepDone = true;
            return false;
        case ReceiveOutcome::ShortReply:
            ctx_.transferResult = kResultShortReply;
            finish();
            return true;
        case ReceiveOutcome::WrongReply:
            return failWrongReply();
        case ReceiveOutcome::Pending:
            break;
    }
    return false;
}

void TransferRun::finish() {
    timerEnabled_ = false;
    const int attempt = Attempt + 1;
    const std::int32_t result = ctx_.transferResult;
    if (result == kResultShortReply) {
        std::uint8_t status = kStatusFailed;
        Request->ReplyCode = replyCodeOf(Request->data()[2], status);
        Request->Status = status;
    } else if (result == kResultPortFailed) {
        Request->Status = kStatusPortUnusable;
    } else if (result == kResultOk) {
        Request->Status = kStatusDone;
    } else {
        ++Attempt;
        // An attempt that sent nothing has no answer to come late.
        if (result == kResultTimeout && sent_) openLateSpan();
        if (ctx_.engine.RequestKind == RequestKind::Config) {
            reportOutcome(attempt, result);
            beginSettling();
            return;
        }
        // Reported before a retry takes the step index back: the outcome names the step's
        // time-out.
        const bool last = Attempt >= kAttempts || ctx_.engine.RequestKind == RequestKind::Probe;
        if (!last) reportOutcome(attempt, result);
        if (retryOrFail()) return;
    }
    reportOutcome(attempt, result);
    release();
}

bool TransferRun::retryOrFail() {
    if (Attempt < kAttempts && ctx_.engine.RequestKind != RequestKind::Probe) {
        StepIndex = 0;
        StepDone = true;
        timerEnabled_ = true;
        return true;
    }
    Request->Status = kStatusFailed;
    if (ctx_.io.isTcp(Request->Channel)) tcpFailureRule(ctx_);
    return false;
}

// A module may answer a configuration block after the step gave up on it. Such a late answer
// must not be taken for the acceptance of the next attempt or block, so before either goes
// out the line has to stay quiet for one time-out; whatever arrives meanwhile is dropped.
void TransferRun::beginSettling() {
    settling_ = true;
    timerEnabled_ = true;
    settleStart_ = quietSince_ = ctx_.clock.tickMs();
    const std::int32_t failed = std::clamp<std::int32_t>(StepIndex, 1, kMaxSteps);
    settleTimeout_ = Request->step(failed).TimeoutMs;
}

void TransferRun::settle() {
    const std::uint32_t now = ctx_.clock.tickMs();
    std::array<std::uint8_t, kDiscardBytes> scratch{};
    if (ctx_.io.read(Request->Channel, scratch.data(), kDiscardBytes) > 0) quietSince_ = now;
    const bool quiet = now - quietSince_ > settleTimeout_;
    const bool waitedTooLong = now - settleStart_ > settleTimeout_ * kSettleTimeouts;
    if (!quiet && !waitedTooLong) return;
    settling_ = false;
    if (!retryOrFail()) release();
}

void TransferRun::failProgram() {
    timerEnabled_ = false;
    Request->Status = kStatusFailed;
    release();
}

void TransferRun::release() {
    released_ = true;
}

void tcpFailureRule(TransferContext& context) {
    EngineState& engine = context.engine;
    const double now = context.clock.nowDays();
    if (now - engine.TcpLastFailTime > kTcpFailWindowDays) {
        engine.TcpFailCount = 1;
    } else {
        ++engine.TcpFailCount;
        if (engine.TcpFailCount > 3) {
            context.transferResult = context.io.reopen();
            engine.TcpFailCount = 0;
        }
    }
    engine.TcpLastFailTime = now;
}

bool hasEndStep(const TransferRequest& request) {
    return std::any_of(request.Steps.begin(), request.Steps.end(),
                       [](const TransferStep& s) { return s.Opcode == kOpEnd; });
}

void QueueRequest(EngineState& engine, TransferRequest& request) {
    if (engine.RequestCount < 0) engine.RequestCount = 0;
    request.Acknowledged = false;
    // A program that can never end is refused like a request to a full queue.
    if (engine.RequestCount >= kQueueSlots || !hasEndStep(request)) {
        request.Status = kStatusFailed;
        return;
    }
    ++engine.RequestCount;
    engine.slot(engine.RequestCount) = &request;
    if (engine.RequestCount == 1) {
        request.Status = kStatusRunning;
        StartRequest(engine, request);
    } else {
        request.Status = kStatusQueued;
    }
}

void StartRequest(EngineState& engine, TransferRequest& request) {
    if (engine.Windows == nullptr) {
        // Nothing can run the request: fail it rather than leave the caller waiting.
        request.Status = kStatusFailed;
        transferWindowDestroyed(engine);
        return;
    }
    engine.Windows->createWindow(request);
}

void transferWindowDestroyed(EngineState& engine) {
    try {
        engine.TransferWindow = nullptr;
        engine.RequestCount = std::max(engine.RequestCount - 1, 0);
        if (engine.RequestCount == 0) return;
        for (int i = 1; i <= engine.RequestCount; ++i) engine.slot(i) = engine.slot(i + 1);
        engine.slot(engine.RequestCount + 1) = nullptr;
        TransferRequest& next = *engine.slot(1);
        next.Status = kStatusRunning;
        StartRequest(engine, next);
    } catch (...) {
        // The queue keeps the state it reached.
    }
}

}  // namespace velor
