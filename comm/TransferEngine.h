#pragma once
// The transfer engine: the request queue and the step machine that runs one request tick by
// tick. Plain C++ against a ChannelIo and an injected Clock; the transfer window only drives
// it from its 10 ms timer.

#include <cstdint>
#include <optional>
#include <vector>

#include "comm/ChannelIo.h"
#include "comm/Clock.h"
#include "comm/EngineState.h"
#include "comm/Frame.h"
#include "comm/TransferRequest.h"

namespace velor {

// TransferResult values of the engine.
inline constexpr std::int32_t kResultOk = 0;
inline constexpr std::int32_t kResultTimeout = -1;
inline constexpr std::int32_t kResultPortFailed = -2;
inline constexpr std::int32_t kResultWrongReply = -3;
inline constexpr std::int32_t kResultShortReply = -4;
// A TCP attempt whose frame the transport did not take (the peer is gone): nothing went out.
// The traffic monitor calls it "bez TCP přenosu", as it does a missing transport.
inline constexpr std::int32_t kResultTcpNotSent = 1;

inline constexpr int kAttempts = 3;
inline constexpr int kDiscardBytes = 399;
// A line that never falls quiet after a failed configuration block is waited for at most this
// many time-outs.
inline constexpr std::uint32_t kSettleTimeouts = 5;
// Five minutes in days.
inline constexpr double kTcpFailWindowDays = 5.0 / (24.0 * 60.0);

// What the step machine works against.
struct TransferContext {
    EngineState& engine;
    ChannelIo& io;
    Clock& clock;
    std::int32_t& transferResult;
};

// Creates the window that runs a started request: the transfer window in the program, a
// manual driver in tests. The window registers its TransferRun as engine.TransferWindow.
class TransferWindowFactory {
public:
    virtual ~TransferWindowFactory() = default;
    virtual void createWindow(TransferRequest& request) = 0;
};

// The per-request part of a transfer window: runs the steps of one request.
class TransferRun {
public:
    TransferRun(TransferContext context, TransferRequest& request);

    // One timer tick. Never throws: an exception leaves the request in the state it reached.
    void tick();
    bool timerEnabled() const { return timerEnabled_; }
    // The request is finished and the window is to be released.
    bool released() const { return released_; }

    TransferRequest* Request;
    std::int32_t StepIndex = 0;
    bool StepDone = true;
    FrameReceiver Receiver;
    std::int32_t Attempt = 0;

private:
    void tickUnchecked();
    // Reads and drops what has arrived; returns the number of bytes dropped.
    int discardInput();
    // True while the attempt has to wait for the late span of a timed-out attempt to pass.
    bool waitOutLateSpan();
    void openLateSpan();
    void sendPhase();
    void receivePhase();
    // Each action returns true when it went to Finish.
    bool sendAction(const TransferStep& step);
    bool receiveAction(const TransferStep& step);
    bool receiveByte(const TransferStep& step);
    bool waitOutputDrained();
    bool receiveBlock();
    bool sendBlock();
    bool sendFrame();
    bool receiveFrame();
    bool lineErrorsStop(std::uint32_t errors) const;
    // The line of a receive step, its errors as the result; nullopt when they ended the run.
    std::optional<LineState> receivingLine(int channel);
    // Ends the run: what came is not the answer.
    bool failWrongReply();
    void finish();
    // After a failed attempt: runs the request again, or ends it with Status 3. Returns true
    // when it runs again.
    bool retryOrFail();
    // A configuration block waits for a quiet line after a failed attempt, see settle().
    void beginSettling();
    void settle();
    // Ends the request with Status 3 and no retry: its program or data cannot be run.
    void failProgram();
    void release();
    // Tells the traffic tap, when there is one, how the attempt ended.
    void reportOutcome(int attempt, std::int32_t result) const;

    TransferContext ctx_;
    std::vector<std::uint8_t> framed_;  // the framed request, resent by a retry
    bool timerEnabled_ = true;
    bool released_ = false;
    bool sent_ = false;  // the attempt has sent something
    bool settling_ = false;
    std::uint32_t settleStart_ = 0;
    std::uint32_t quietSince_ = 0;
    std::uint32_t settleTimeout_ = 0;
};

// Hands a filled request to the engine: starts it at once when the queue is empty.
void QueueRequest(EngineState& engine, TransferRequest& request);
// Creates the transfer window for the request.
void StartRequest(EngineState& engine, TransferRequest& request);
// The destruction of the transfer window: drops queue slot 1 and starts the next request.
void transferWindowDestroyed(EngineState& engine);
// After a request on a TCP channel failed for good.
void tcpFailureRule(TransferContext& context);
// True when the step program has an end step among its 20 steps.
bool hasEndStep(const TransferRequest& request);

}  // namespace velor
