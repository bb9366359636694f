#include "tools/velor-cli/BusSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "comm/Channel.h"
#include "comm/ComConfig.h"
#include "comm/FileStore.h"
#include "comm/SerialDevices.h"
#include "comm/SerialPortName.h"
#include "comm/TrafficCapture.h"
#include "comm/TransferWindow.h"
#include "config/ModuleHelpers.h"
#include "modules/AnswerDecoder.h"
#include "modules/ConfigSend.h"
#include "tools/velor-cli/Interrupt.h"
#include "tools/velor-cli/Output.h"

namespace velor::cli {

namespace {

constexpr int kConnectMs = 3000;

std::string hexOf(std::span<const std::uint8_t> bytes) {
    std::string text;
    char byte[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, "%02X ", b);
        text += byte;
    }
    if (!text.empty()) text.pop_back();
    return text;
}

// Transfer windows that belong to the session, so that a run cut short by Ctrl+C is ended
// with the session rather than left behind.
class SessionWindows : public TransferWindowFactory {
public:
    SessionWindows(TransferContext context, QObject& owner) : ctx_(context), owner_(owner) {}
    void createWindow(TransferRequest& request) override { new TForm_Com(ctx_, request, &owner_); }

private:
    TransferContext ctx_;
    QObject& owner_;
};

std::optional<std::uint16_t> baudIndexOf(long baud) {
    for (std::size_t i = 0; i < BaudRates.size(); ++i)
        if (BaudRates[i] == baud) return static_cast<std::uint16_t>(i);
    return std::nullopt;
}

}  // namespace

bool checkSerialName(const std::string& name, std::string& problem) {
    if (portNumberOfName(name) != 0 && !name.empty()) return true;
    problem = "--serial " + name + ": not a port (COM1, COM2, ... or a device path)";
    return false;
}

bool parseLinkOptions(const ParsedArgs& args, LinkOptions& link, std::string& problem) {
    if (args.has("--tcp") && args.has("--serial")) {
        problem = "give either --tcp or --serial, not both";
        return false;
    }
    if (const auto tcp = args.value("--tcp")) {
        std::string host = *tcp;
        const auto colon = host.rfind(':');
        if (colon != std::string::npos) {
            const auto port = parseNumber(host.substr(colon + 1), 1, 65535);
            if (!port) {
                problem = "--tcp " + *tcp + ": the port must be 1..65535";
                return false;
            }
            link.tcpPort = static_cast<std::uint16_t>(*port);
            host.resize(colon);
        }
        if (host.empty() || host.size() > kTcpHostMaxChars) {
            problem = "--tcp " + *tcp + ": the host must have 1 to 17 characters";
            return false;
        }
        link.tcpHost = host;
    }
    link.serial = args.value("--serial");
    if (link.serial && !checkSerialName(*link.serial, problem)) return false;
    if (const auto baud = args.value("--baud")) {
        const auto index = baudIndexOf(parseNumber(*baud, 1, 1000000).value_or(0));
        if (!index) {
            problem = "--baud must be 4800, 9600, 19200, 38400 or 57600";
            return false;
        }
        link.baudIndex = *index;
    }
    long timeout = -1;
    if (!takeNumber(args, "--timeout", 1, 65535, timeout, problem)) return false;
    if (timeout > 0) link.timeoutMs = static_cast<std::uint16_t>(timeout);
    link.noParity = args.has("--no-parity");
    link.verbose = args.has("--verbose");
    link.pcapPath = args.value("--pcap");
    if (link.pcapPath && link.pcapPath->empty()) {
        problem = "--pcap needs a file name";
        return false;
    }
    return true;
}

std::string Outcome::verdict() const {
    if (interrupted) return "interrupted";
    if (status == kStatusDone) return acknowledged ? "acknowledged" : "ok";
    if (status == kStatusPortUnusable) return "the port cannot be used";
    if (replyCode != 0) {
        static const char* const codes[] = {"", "FC 2", "FC 9", "FC 12"};
        return std::string("negative reply ") + codes[replyCode] + " (" +
               protocolErrorText(replyCode) + ")";
    }
    switch (transferResult) {
        case kResultTimeout:
            return "no answer";
        case kResultWrongReply:
            return "wrong reply";
        case kResultShortReply:
            return "unexpected short reply";
        default:
            return "failed (" + std::to_string(transferResult) + ")";
    }
}

int TracingIo::read(int channel, std::uint8_t* buffer, int count) {
    const int n = inner_.read(channel, buffer, count);
    if (trace_ != nullptr && n > 0) received_.insert(received_.end(), buffer, buffer + n);
    return n;
}

int TracingIo::write(int channel, const std::uint8_t* buffer, int count) {
    flushReceived();
    if (trace_ != nullptr && count > 0)
        *trace_ << "tx " << hexOf({buffer, static_cast<std::size_t>(count)}) << "\n";
    return inner_.write(channel, buffer, count);
}

bool TracingIo::transmitByte(int channel, std::uint8_t byte) {
    if (trace_ != nullptr) *trace_ << "tx " << hexOf({&byte, 1}) << "\n";
    return inner_.transmitByte(channel, byte);
}

void TracingIo::flushReceived() {
    if (trace_ == nullptr || received_.empty()) return;
    *trace_ << "rx " << hexOf(received_) << "\n";
    received_.clear();
}

BusSession::BusSession(const LinkOptions& link, std::ostream& err)
    : link_(link),
      err_(err),
      tcp_(link.tcpPort),
      tableIo_(comm_.channel),
      io_(tableIo_, link.verbose ? &err : nullptr) {
    comm_.channel.tcp = &tcp_;
    comm_.channel.ComConfigPath = "COM.CFG";
    windows_ = std::make_unique<SessionWindows>(
        TransferContext{comm_.engine, io_, clock_, comm_.channel.TransferResult}, windowsOwner_);
    comm_.engine.Windows = windows_.get();
    request_.Buffer = data_;
}

BusSession::~BusSession() {
    // Transfer windows still running go first: they refer to the request and the channel.
    for (QObject* child : windowsOwner_.children()) delete child;
    if (opened_) CloseChannel(comm_.channel, 1);
    closeCapture();
}

bool BusSession::startCapture(std::string& problem) {
    if (!link_.pcapPath) return true;
    // Started at once, so that a file that cannot be written stops the command before the bus
    // is touched, and a session cut short still leaves a capture that opens.
    if (!capture_.open(*link_.pcapPath)) {
        problem = "--pcap " + *link_.pcapPath + ": " + capture_.errorText();
        return false;
    }
    tap_ = std::make_unique<TrafficTap>(trafficClock_);
    attachTrafficTap(comm_, tap_.get());
    return true;
}

void BusSession::collectCapture() {
    // A tap that only counts (countTraffic()) has no capture to fill.
    if (!tap_ || !link_.pcapPath || capture_.failed()) return;
    for (std::uint64_t seq = std::max(capturedSeq_, tap_->firstSeq()); seq < tap_->nextSeq();
         ++seq) {
        const TrafficFrame* f = tap_->frame(seq);
        if (f != nullptr && !capture_.append({f->direction, f->time.wallUs, tap_->bytes(*f)})) {
            captureFailed();
            return;
        }
    }
    capturedSeq_ = tap_->nextSeq();
}

void BusSession::countTraffic() {
    if (tap_) return;
    tap_ = std::make_unique<TrafficTap>(trafficClock_);
    attachTrafficTap(comm_, tap_.get());
}

void BusSession::closeCapture() {
    if (!tap_) return;
    collectCapture();
    attachTrafficTap(comm_, nullptr);
    tap_.reset();
    if (link_.pcapPath && !capture_.close()) captureFailed();
}

void BusSession::captureFailed() {
    if (captureReported_) return;
    captureReported_ = true;
    err_ << "velor-cli: --pcap " << *link_.pcapPath << ": " << capture_.errorText() << "\n";
    noteRecordingFailed();
}

bool BusSession::stopped() const {
    return interrupted() || capture_.failed();
}

bool BusSession::open(std::string& problem) {
    PortRecord& r = *comm_.channel.ChannelTable.record(1);
    setDefaultPortRecord(r);
    r.BaudIndex = link_.baudIndex;
    r.NoParity = link_.noParity ? 1 : 0;
    if (!startCapture(problem)) return false;
    bool ok = false;
    if (link_.tcpHost) {
        ok = openTcp(problem);
    } else if (link_.serial) {
        ok = openSerial(problem);
    } else {
        ok = useComConfig(problem);
    }
    if (!ok) return false;
    std::uint16_t timeout = 200;
    AdjustTimeoutsForBaud(timeout, pollInterval_, baudIndex());
    comm_.engine.ReplyTimeout = link_.timeoutMs.value_or(timeout);
    return true;
}

bool BusSession::openTcp(std::string& problem) {
    PortRecord& r = *comm_.channel.ChannelTable.record(1);
    r.PortNumber = 0;
    setTcpHost(r, *link_.tcpHost);
    tcp_.setPeerPort(link_.tcpPort);
    comm_.channel.TransferResult = 0;
    OpenChannel(comm_.channel, 1);
    opened_ = true;
    if (waitUntil([this] { return tcp_.Connected(1); }, kConnectMs)) return true;
    problem = linkName() + ": " +
              (interrupted() ? std::string("interrupted")
                             : "no connection within " + std::to_string(kConnectMs / 1000) +
                                   " s (refused, or the host does not answer)");
    return false;
}

bool BusSession::openSerial(std::string& problem) {
    PortRecord& r = *comm_.channel.ChannelTable.record(1);
    const int n = portNumberOfName(*link_.serial);
    if (n >= 1 && n <= 9) {
        r.PortNumber = static_cast<std::uint8_t>(n);
        device_ = defaultPortResolver(*link_.serial);
    } else {
        // A device path, or a COMn beyond what COM.CFG can hold, stands in for COM1 of this
        // session; COMn leads where the program resolves it, never to a relative path "COMn".
        r.PortNumber = 1;
        device_ = n >= 1 ? defaultPortResolver(*link_.serial) : *link_.serial;
        comm_.channel.resolvePort = [device = device_](const std::string&) { return device; };
    }
    comm_.channel.SelectedPortName = PortDeviceName(r.PortNumber);
    comm_.channel.TransferResult = 0;
    OpenChannel(comm_.channel, 1);
    if (comm_.channel.TransferResult == kOpenFailed) {
        const auto& port = comm_.channel.serialPorts[0];
        problem =
            linkName() + ": cannot open: " + portProblem(device_, port ? port->openError() : 0);
        return false;
    }
    opened_ = true;
    return true;
}

bool BusSession::useComConfig(std::string& problem) {
    QFile file("COM.CFG");
    if (!file.open(QIODevice::ReadOnly)) {
        problem = "COM.CFG: " + file.errorString().toStdString() +
                  " (give --tcp or --serial, or run in a directory with a COM.CFG)";
        return false;
    }
    const QByteArray bytes = file.read(kComConfigSize);
    if (static_cast<std::size_t>(bytes.size()) < kComConfigSize) {
        problem = "COM.CFG: wrong file (" + std::to_string(bytes.size()) + " bytes, it has " +
                  std::to_string(kComConfigSize) + ")";
        return false;
    }
    const PortRecord stored =
        decodePortRecord({reinterpret_cast<const std::uint8_t*>(bytes.data()), kPortRecordSize});
    if (baudRateAt(stored.BaudIndex) == 0 || stored.PortNumber > 9) {
        problem = "COM.CFG: channel 1 has no usable port or baud rate";
        return false;
    }
    link_.baudIndex = stored.BaudIndex;
    link_.noParity = stored.NoParity != 0;
    PortRecord& r = *comm_.channel.ChannelTable.record(1);
    r = stored;
    if (stored.PortNumber == 0) {
        link_.tcpHost = getTcpHost(stored);
        return openTcp(problem);
    }
    link_.serial = PortDeviceName(stored.PortNumber);
    return openSerial(problem);
}

std::string BusSession::linkName() const {
    if (link_.tcpHost) return *link_.tcpHost + ":" + std::to_string(link_.tcpPort);
    const std::string name = link_.serial.value_or("COM.CFG");
    return device_.empty() || device_ == name ? name : name + " (" + device_ + ")";
}

std::uint16_t BusSession::baudIndex() const {
    return comm_.channel.ChannelTable.record(1)->BaudIndex;
}

Outcome BusSession::exchange(RequestKind kind, std::span<const std::uint8_t> userData) {
    Outcome outcome;
    // The engine may still be releasing the window of the last request.
    if (!waitUntil([this] { return comm_.engine.RequestCount == 0; }, 1000)) {
        outcome.interrupted = interrupted();
        return outcome;
    }
    const std::size_t length = std::min(userData.size(), data_.size());
    std::copy_n(userData.begin(), length, data_.begin());
    request_.Channel = 1;
    request_.Buffer = data_;
    request_.Length = static_cast<std::int32_t>(length);
    setExchangeSteps(request_, comm_.engine.ReplyTimeout);
    comm_.channel.TransferResult = 0;
    comm_.engine.RequestKind = kind;
    QueueRequest(comm_.engine, request_);
    // Three attempts of two steps each, and room for the ticks around them.
    const int limit = 6 * comm_.engine.ReplyTimeout + 5000;
    const bool ended = waitUntil(
        [this] {
            return request_.Status == kStatusDone || request_.Status == kStatusFailed ||
                   request_.Status == kStatusPortUnusable;
        },
        limit);
    io_.flushReceived();
    collectCapture();
    outcome.interrupted = stopped();
    if (!ended) return outcome;
    outcome.status = request_.Status;
    outcome.replyCode = request_.ReplyCode;
    outcome.transferResult = comm_.channel.TransferResult;
    outcome.acknowledged = request_.Acknowledged;
    if (outcome.done() && !outcome.acknowledged) {
        const auto n = static_cast<std::size_t>(
            std::clamp<std::int32_t>(request_.Length, 0, static_cast<std::int32_t>(kBufferSize)));
        outcome.answer.assign(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(n));
    }
    if (link_.verbose) err_ << "verdict: " << outcome.verdict() << "\n";
    return outcome;
}

bool BusSession::pause(int ms) {
    waitUntil([] { return false; }, ms);
    collectCapture();
    return !stopped();
}

// The event loop runs in slices of at most 5 ms; an interrupt ends the slice and the wait at
// once, also while a request is still running (the session drops it when it ends).
bool BusSession::waitUntil(const std::function<bool()>& done, int maxMs) {
    QElapsedTimer timer;
    timer.start();
    InterruptNotifier& interrupts = installInterruptHandler();
    while (!done()) {
        if (interrupted() || timer.elapsed() >= maxMs) return false;
        QEventLoop loop;
        QObject::connect(&interrupts, &InterruptNotifier::interrupted, &loop, &QEventLoop::quit);
        QTimer::singleShot(std::clamp<qint64>(maxMs - timer.elapsed(), 0, 5), &loop,
                           &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

bool BusSession::interrupted() {
    return interruptExitCode() != 0;
}

std::string BusSession::portSettings() const {
    const PortRecord& r = *comm_.channel.ChannelTable.record(1);
    // A device path stands in for COM1: the log names the device.
    const bool path = link_.serial && portNumberOfName(*link_.serial) < 1;
    return portSettingsText(r, link_.tcpPort, path ? *link_.serial : std::string());
}

SessionWriteLog::SessionWriteLog(const BusSession& bus, std::ostream& err)
    : writes_(log_, [&bus] { return bus.portSettings(); }) {
    log_.setCannotWriteHandler(
        [&err](const std::string& text) { err << "velor-cli: " << text << "\n"; });
}

}  // namespace velor::cli
