#include "modules/ModuleSweep.h"

#include <algorithm>

#include "comm/Channel.h"
#include "comm/TransferEngine.h"
#include "modules/ConfigSend.h"
#include "modules/RequestBuilders.h"

namespace velor {

namespace {

constexpr int kTickMs = 10;

}  // namespace

std::string answerKindText(AnswerKind kind) {
    switch (kind) {
        case AnswerKind::Ack:
            return "E5";
        case AnswerKind::Frame:
            return "frame";
        case AnswerKind::ShortFrame:
            return "short frame";
        case AnswerKind::WrongReply:
            return "wrong reply";
    }
    return "?";
}

bool answeredAtBothParities(const std::vector<SweepAnswer>& answers, std::size_t index) {
    if (index >= answers.size()) return false;
    const SweepPoint& p = answers[index].point;
    return std::any_of(answers.begin(), answers.end(), [&p](const SweepAnswer& other) {
        return other.point.address == p.address && other.point.baudIndex == p.baudIndex &&
               other.point.noParity != p.noParity;
    });
}

std::vector<SweepPoint> sweepOrder(const SweepSettings& settings) {
    std::vector<SweepPoint> order;
    for (const bool noParity : settings.noParity) {
        for (const std::uint16_t baud : settings.baudIndexes) {
            if (baudRateAt(baud) == 0) continue;
            for (int address = settings.from; address <= settings.to; ++address)
                order.push_back({address, baud, noParity});
        }
    }
    return order;
}

ModuleSweep::ModuleSweep(CommState& comm, SweepSettings settings)
    : comm_(comm), settings_(std::move(settings)) {
    const PortRecord& r = *comm_.channel.ChannelTable.record(1);
    oldBaudIndex_ = r.BaudIndex;
    oldNoParity_ = r.NoParity;
    // TCP carries the frames without a line: every address once, at the record's settings.
    if (r.PortNumber == 0) {
        settings_.baudIndexes = {r.BaudIndex};
        settings_.noParity = {r.NoParity != 0};
    }
    order_ = sweepOrder(settings_);
    oldTimeout_ = comm_.engine.ReplyTimeout;
    oldKind_ = comm_.engine.RequestKind;
    request_.Buffer = data_;
}

ModuleSweep::~ModuleSweep() {
    finish();
}

bool ModuleSweep::running() const {
    return request_.Status == kStatusRunning || request_.Status == kStatusQueued ||
           comm_.engine.RequestCount > 0;
}

bool ModuleSweep::step() {
    if (finished_) return false;
    if (running()) return true;
    collect();
    if (aborted_ || portLost_ || !startNext()) {
        finished_ = true;
        return false;
    }
    return true;
}

void ModuleSweep::abort() {
    aborted_ = true;
    if (!running()) finished_ = true;
}

void ModuleSweep::collect() {
    if (current_ < 0) return;
    const SweepPoint point = order_[static_cast<std::size_t>(current_)];
    current_ = -1;
    if (request_.Status == kStatusPortUnusable || isDeviceLost(comm_.channel, 1)) {
        portLost_ = true;
        return;
    }
    if (request_.Status == kStatusDone) {
        answers_.push_back({point, request_.Acknowledged ? AnswerKind::Ack : AnswerKind::Frame});
        return;
    }
    const std::int32_t result = comm_.channel.TransferResult;
    if (request_.Status != kStatusFailed) return;
    if (result == kResultShortReply) answers_.push_back({point, AnswerKind::ShortFrame});
    if (result == kResultWrongReply) answers_.push_back({point, AnswerKind::WrongReply});
}

// Reopens channel 1 at the point's baud rate and parity when they differ from the last.
bool ModuleSweep::useSetting(const SweepPoint& point) {
    if (haveSetting_ && setting_.baudIndex == point.baudIndex &&
        setting_.noParity == point.noParity)
        return settingOpen_;
    haveSetting_ = true;
    setting_ = point;
    PortRecord& r = *comm_.channel.ChannelTable.record(1);
    r.BaudIndex = point.baudIndex;
    r.NoParity = point.noParity ? 1 : 0;
    CloseChannel(comm_.channel, 1);
    comm_.channel.TransferResult = 0;
    OpenChannel(comm_.channel, 1);
    settingOpen_ = comm_.channel.TransferResult != kOpenFailed;
    if (!settingOpen_) ++unopened_;
    // Every line setting opens on a port that is there: one that opened before and no longer
    // does has gone away.
    if (!settingOpen_ && openedOnce_) portLost_ = true;
    openedOnce_ = openedOnce_ || settingOpen_;
    return settingOpen_;
}

bool ModuleSweep::startNext() {
    while (next_ < total()) {
        const SweepPoint point = order_[static_cast<std::size_t>(next_++)];
        if (!useSetting(point)) {
            if (portLost_) return false;
            continue;
        }
        MonitorSource src;
        src.kind = RequestKind::Probe;
        src.scanAddress = point.address;
        const RequestData user = monitorUserData(src);
        std::copy(user.bytes.begin(), user.bytes.end(), data_.begin());
        request_.Channel = 1;
        request_.Length = static_cast<std::int32_t>(user.bytes.size());
        request_.Acknowledged = false;
        setExchangeSteps(request_, settings_.timeoutMs);
        comm_.channel.TransferResult = 0;
        comm_.engine.RequestKind = RequestKind::Probe;
        comm_.engine.ReplyTimeout = settings_.timeoutMs;
        current_ = next_ - 1;
        QueueRequest(comm_.engine, request_);
        return true;
    }
    return false;
}

// A silent probe costs its time-out and one more for the span of its late answer.
int ModuleSweep::msLeft() const {
    return (total() - next_) * (2 * settings_.timeoutMs + 2 * kTickMs);
}

void ModuleSweep::finish() {
    if (restored_) return;
    if (running()) return;  // the engine still holds the request; finish again later
    restored_ = true;
    finished_ = true;
    CloseChannel(comm_.channel, 1);
    PortRecord& r = *comm_.channel.ChannelTable.record(1);
    r.BaudIndex = oldBaudIndex_;
    r.NoParity = oldNoParity_;
    comm_.engine.ReplyTimeout = oldTimeout_;
    comm_.engine.RequestKind = oldKind_;
}

}  // namespace velor
