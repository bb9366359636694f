#include "monitor/PollingLoop.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <system_error>
#include <utility>

#include "comm/TransferEngine.h"
#include "config/ModuleHelpers.h"
#include "modules/ConfigSend.h"
#include "modules/ModuleWrites.h"
#include "modules/RequestBuilders.h"
#include "ui/Cp1250.h"
#include "ui/MessageService.h"

namespace velor {

namespace {

std::string RightAligned(int value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%*d", width, value);
    return text;
}

constexpr std::size_t kScanListChars = 30;

}  // namespace

void PollingLoop::FormCreate() {
    MainLoopState& s = ctx_.loop;
    ConfigState& c = ctx_.config;
    c.SendPending = c.SendBinaryInputs = c.SendMokr = c.SendBinaryOutputs = c.SendZepa = false;
    s.LastBlockSent = s.KaluSecondHalf = false;
    ctx_.engine.RequestKind = RequestKind::Probe;
    s.MonitoredKind = kMonitoredNone;
    s.PollInterval = kDefaultPollInterval;
    ResetAddressScan();
    ctx_.selections.MokrInputPiggy = 0;
    ctx_.selections.MokrOutputPiggy = 0;
    ctx_.selections.PiggyOutputs.fill(0);
    ctx_.selections.KaluOutputs.fill(0);
    AdjustTimeoutsForBaud();
    s.ReopenPending = false;
    s.ChannelReady = false;
}

void PollingLoop::Timer1Timer() {
    const char* text = nullptr;
    try {
        tick();
        return;
    } catch (const std::system_error&) {
        text = "Chyba při zpracování dat ";
    } catch (const std::exception&) {
        text = kTextTickError;
    } catch (...) {
        text = "Chyba při zpracování dat ";
    }
    ctx_.view.setTimerEnabled(false);
    ShowMessageWindow(text, "", 2, 1);
    ctx_.view.setTimerInterval(kErrorRetryInterval);
    ctx_.view.setTimerEnabled(true);
}

void PollingLoop::tick() {
    MainLoopState& s = ctx_.loop;
    if (!s.ChannelReady) {
        ctx_.view.setStatusLine(kTextSetChannel);
        return;
    }
    ctx_.view.setTimerInterval(s.PollInterval);
    InicPrenos();
    if (s.AbandonedRun && !settleAbandonedRun()) return;

    TransferRequest& r = s.MainRequest;
    if (r.Status == kStatusFailed) {
        onFailed();
    } else if (r.Status == kStatusDone) {
        onDone();
    } else if (r.Status == kStatusPortUnusable) {
        // The port cannot be used until an editor sets the channel up again; say so. A device
        // that vanished is looked for by the channel itself: keep the requests coming.
        ctx_.view.setStatusLine(kTextTransferError);
        ctx_.view.updateUnitCaptions();
        if (!ctx_.channel.deviceLost()) return;
        r.Status = kStatusIdle;
    }
    if (r.Status != kStatusIdle) return;
    if (ctx_.config.SendPending) {
        BuildConfigRequest();
    } else {
        BuildMonitorRequest();
    }
}

void PollingLoop::InicPrenos() {
    if (!ctx_.loop.ReopenPending) return;
    ctx_.view.setTimerEnabled(false);
    ctx_.channel.openChannel();
    ctx_.loop.ReopenPending = false;
    ctx_.view.setTimerEnabled(true);
}

void PollingLoop::onFailed() {
    MainLoopState& s = ctx_.loop;
    s.MainRequest.Status = kStatusIdle;
    reportWrite(false);
    // A KALU configuration starts again with its first half after any failed block: the first
    // half carries "save" and the new baud code, so the channel may only move to the new
    // settings once both halves, in order, were accepted.
    if (ctx_.engine.RequestKind == RequestKind::Config && ctx_.config.SendPending) {
        s.KaluSecondHalf = kaluHalfAfterFailedBlock(sendTarget(ctx_.config), s.KaluSecondHalf);
    }
    if (ctx_.engine.RequestKind == RequestKind::Probe) {
        s.AddressFound.at(static_cast<std::size_t>(s.ScanAddress)) = false;
        ShowScanResult();
        return;
    }
    ctx_.view.setStatusLine(kTextTransferError);
    ctx_.view.updateUnitCaptions();
    const std::string text = protocolErrorText(s.MainRequest.ReplyCode);
    if (!text.empty()) ctx_.view.showProtocolError(text);
    notifyObserver(false, nullptr, ctx_.selections);
}

void PollingLoop::onDone() {
    MainLoopState& s = ctx_.loop;
    const bool sending = ctx_.config.SendPending;
    s.MainRequest.Status = kStatusIdle;
    reportWrite(true);
    ctx_.view.hideProtocolError();
    if (s.KaluSecondHalf && sending) return;  // the second half goes out in this tick
    if (s.LastBlockSent && sending) {
        finishSend();
        return;
    }
    if (ctx_.engine.RequestKind == RequestKind::Probe) {
        // The engine kept the late answer of a silent probe off the line: this one is its own.
        s.AddressFound.at(static_cast<std::size_t>(s.ScanAddress)) = true;
        ShowScanResult();
        return;
    }
    if (ctx_.engine.RequestKind == RequestKind::Config) return;  // a block of a send that ended
    ctx_.view.setStatusLine(s.StatusText);
    const std::size_t length = static_cast<std::size_t>(
        std::clamp<std::int32_t>(s.MainRequest.Length, 0, static_cast<std::int32_t>(kBufferSize)));
    const std::span<const std::uint8_t> answer =
        std::span<const std::uint8_t>(s.Data).first(length);
    const UnitSelections asPolled = ctx_.selections;
    DecodeResult shown;
    // A bare acknowledgement carries no answer data: the buffer still holds the request.
    const bool decoded = !s.MainRequest.Acknowledged && decodeAnswer(answer, shown);
    // An answer too short for its layout counts as a failed transfer.
    if (!decoded) ctx_.view.setStatusLine(kTextTransferError);
    ctx_.view.updateUnitCaptions();
    notifyObserver(decoded, decoded && shown.decoded ? &shown : nullptr, asPolled);
}

// The write log's hook: before the outcome is shown, so a write is logged before it shows as done.
void PollingLoop::reportWrite(bool accepted) {
    MainLoopState& s = ctx_.loop;
    if (!s.WriteObserved) return;
    s.Sent.accepted = accepted;
    s.Sent.reason = accepted ? std::string() : writeFailureReason(s.MainRequest.ReplyCode);
    s.WriteObserved(s.Sent);
}

// The recording's hook: after the answer was shown, or after a failed monitoring request.
void PollingLoop::notifyObserver(bool transferred, const DecodeResult* shown,
                                 const UnitSelections& asPolled) {
    const AnswerObserver& observer = ctx_.loop.AnswerObserved;
    if (!observer || ctx_.engine.RequestKind > RequestKind::Mokr) return;
    observer({ctx_.engine.RequestKind, ctx_.loop.MonitoredKind, transferred, shown, asPolled});
}

// Decodes the answer of the polled kind into shown and has its window paint it; false when the
// answer is too short for its layout. Range errors of the decoding propagate to the tick's guard.
bool PollingLoop::decodeAnswer(std::span<const std::uint8_t> answer, DecodeResult& shown) {
    const RequestKind kind = ctx_.engine.RequestKind;
    // A window closed while its request was on the way: nothing to show, nothing to flip.
    if (!ctx_.view.unitWindowOpen(kind)) return true;
    UnitSelections& sel = ctx_.selections;
    shown = DecodeAnswer(kind, answer, kaluFormatsOf(ctx_.config.AnalogConfig),
                         sel.KaluTypedOutputs, sel, ctx_.decoder);
    if (!shown.decoded) return false;
    ctx_.view.showAnswer(shown);
    return true;
}

// The last block was accepted: move channel 1 to the settings chosen in the editor.
void PollingLoop::finishSend() {
    MainLoopState& s = ctx_.loop;
    ConfigState& c = ctx_.config;
    ctx_.view.setTimerEnabled(false);
    ctx_.channel.closeChannel();
    c.SendPending = false;
    s.LastBlockSent = false;
    ctx_.engine.RequestKind = RequestKind::Probe;
    ResetAddressScan();
    ctx_.channel.setPort(c.TargetPortNumber, c.TargetBaudIndex);
    ctx_.channel.openChannel();
    ctx_.view.setTimerEnabled(true);
}

void PollingLoop::ShowScanResult() {
    MainLoopState& s = ctx_.loop;
    std::string list;
    for (std::size_t i = 0; i < kBusAddressCount; ++i) {
        if (s.AddressFound[i]) list += RightAligned(static_cast<std::int32_t>(i), 2) + ",";
    }
    list.resize(kScanListChars, ' ');
    // Appended in place: prepending a literal to a temporary string makes the compiler warn.
    std::string line = ">";
    line += RightAligned(s.ScanAddress, 3);
    line += "< ";
    line += list;
    ctx_.view.setStatusLine(line);
    constexpr auto kLastAddress = static_cast<std::int32_t>(kBusAddressCount) - 1;
    s.ScanAddress = s.ScanAddress + 1 > kLastAddress ? 0 : s.ScanAddress + 1;
}

void PollingLoop::queue(const std::vector<std::uint8_t>& userData) {
    TransferRequest& r = ctx_.loop.MainRequest;
    r.Channel = 1;
    r.Buffer = ctx_.loop.Data;
    std::copy(userData.begin(), userData.end(), ctx_.loop.Data.begin());
    r.Length = static_cast<std::int32_t>(userData.size());
    // A code left from an earlier negative reply must not label a later failure.
    setExchangeSteps(r, ctx_.engine.ReplyTimeout);
    QueueRequest(ctx_.engine, r);
}

void PollingLoop::BuildMonitorRequest() {
    MainLoopState& s = ctx_.loop;
    const UnitSelections& sel = ctx_.selections;
    ctx_.engine.RequestKind = s.MonitoredKind;
    MonitorSource src;
    src.kind = s.MonitoredKind;
    src.analogAddress = ctx_.config.AnalogConfig.ModuleAddress;
    src.binaryAddress = ctx_.config.BinaryConfig.ModuleAddress;
    src.scanAddress = s.ScanAddress;
    src.kaluOutputs = sel.KaluOutputs;
    src.tewOutputs = sel.TewOutputs;
    src.tevwOutputs = sel.TevwOutputs;
    src.piggyOutputs = sel.PiggyOutputs;
    src.mokrInputPiggy = sel.MokrInputPiggy;
    src.mokrWritePhase = sel.MokrWritePhase;
    // Builds first: a range error leaves nothing queued.
    const RequestData data = monitorUserData(src);
    s.Sent = {};
    s.Sent.kind = src.kind;
    s.Sent.source = src;
    if (!data.statusText.empty()) {
        s.StatusText = data.statusText;
        if (!statusLineShowsError(ctx_.view.statusLine())) ctx_.view.setStatusLine(s.StatusText);
    }
    queue(data.bytes);
}

void PollingLoop::BuildConfigRequest() {
    MainLoopState& s = ctx_.loop;
    ConfigState& c = ctx_.config;
    const ConfigBlock block = nextConfigBlock(c, sendTarget(c), s.KaluSecondHalf, s.ZepaImage);
    s.StatusText = block.data.statusText;
    ctx_.view.setStatusLine(s.StatusText);
    s.LastBlockSent = block.lastBlock;
    s.KaluSecondHalf = block.kaluSecondHalf;
    s.Sent = {};
    s.Sent.kind = RequestKind::Config;
    s.Sent.target = sendTarget(c);
    s.Sent.block = block.data.bytes;
    s.Sent.lastBlock = block.lastBlock;
    s.Sent.configFile =
        cp1250ToUtf8(s.Sent.target == ConfigTarget::Kalu ? c.AnalogDirectory + c.AnalogFileName
                                                         : c.BinaryDirectory + c.BinaryFileName);
    ctx_.engine.RequestKind = RequestKind::Config;
    queue(block.data.bytes);
}

void PollingLoop::editorOpening() {
    ctx_.view.setTimerEnabled(false);
    ctx_.channel.closeChannel();
    ConfigState& c = ctx_.config;
    c.RestorePortNumber = c.TargetPortNumber = ctx_.channel.portNumber();
    c.RestoreBaudIndex = c.TargetBaudIndex = ctx_.channel.baudIndex();
}

void PollingLoop::editorClosed() {
    ConfigState& c = ctx_.config;
    MainLoopState& s = ctx_.loop;
    if (c.SendPending) {
        // The blocks go out over the settings the module listens on now; the new ones are
        // taken once the last block has been accepted.
        c.TargetPortNumber = ctx_.channel.portNumber();
        c.TargetBaudIndex = ctx_.channel.baudIndex();
        ctx_.channel.setPort(c.RestorePortNumber, c.RestoreBaudIndex);
    }
    ctx_.view.setStatusLine(kTextEditorClosed);
    s.ReopenPending = true;
    s.ChannelReady = true;
    if (requestWithEngine()) {
        // The old run still owns the record; its outcome is dropped when it comes.
        s.AbandonedRun = true;
    } else {
        s.MainRequest.Status = kStatusIdle;
    }
    ctx_.view.setTimerEnabled(true);
}

void PollingLoop::toolClosed(bool changedChannel) {
    if (changedChannel || ctx_.loop.ChannelReady) {
        editorClosed();
        return;
    }
    ctx_.channel.openChannel();
    ctx_.view.setTimerEnabled(true);
}

void PollingLoop::takeEditorOutcome(const EditorOutcome& outcome) {
    if (outcome.timing) {
        ctx_.engine.ReplyTimeout = outcome.timing->replyTimeout;
        ctx_.loop.PollInterval = outcome.timing->pollInterval;
    }
    if (outcome.analogSendFromStart) ctx_.loop.KaluSecondHalf = false;
    if (outcome.restartScan) ResetAddressScan();
}

bool PollingLoop::requestWithEngine() const {
    const TransferRequest* r = &ctx_.loop.MainRequest;
    const int count = std::clamp<int>(ctx_.engine.RequestCount, 0, kQueueSlots);
    for (int i = 0; i < count; ++i) {
        if (ctx_.engine.RequestQueue[static_cast<std::size_t>(i)] == r) return true;
    }
    return false;
}

bool PollingLoop::settleAbandonedRun() {
    if (requestWithEngine()) return false;
    ctx_.loop.AbandonedRun = false;
    ctx_.loop.MainRequest.Status = kStatusIdle;
    return true;
}

void PollingLoop::ResetAddressScan() {
    velor::ResetAddressScan(ctx_.loop.ScanAddress, ctx_.loop.AddressFound);
}

void PollingLoop::AdjustTimeoutsForBaud() {
    velor::AdjustTimeoutsForBaud(ctx_.engine.ReplyTimeout, ctx_.loop.PollInterval,
                                 ctx_.channel.baudIndex());
}

}  // namespace velor
