#pragma once
// The bus as velor-cli uses it: channel 1 of a channel table of its own (TCP, a serial port or
// COM.CFG's channel 1), the program's transfer engine driven by its 10 ms transfer windows in
// a QCoreApplication event loop, one request at a time. Ctrl+C ends a wait at once; the port
// is closed when the session ends.

#include <QObject>
#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "comm/ChannelTableIo.h"
#include "comm/Clock.h"
#include "comm/CommState.h"
#include "comm/TcpTransport.h"
#include "comm/TrafficCapture.h"
#include "comm/TrafficTap.h"
#include "comm/TransferEngine.h"
#include "modules/WriteLog.h"
#include "modules/ModuleWrites.h"
#include "tools/velor-cli/Args.h"

namespace velor::cli {

struct LinkOptions {
    std::optional<std::string> tcpHost;
    std::uint16_t tcpPort = kTcpPeerPort;
    std::optional<std::string> serial;  // "COMn" or a device path
    std::uint16_t baudIndex = 3;
    bool noParity = false;
    std::optional<std::uint16_t> timeoutMs;
    bool verbose = false;
    std::optional<std::string> pcapPath;  // --pcap: where the session's traffic goes
};

// Checks a --serial value: COM0 is never a port; COMn (n >= 1) is the program's port of that
// name and any other value a device path. False with a problem for COM0.
bool checkSerialName(const std::string& name, std::string& problem);

// Reads --tcp, --serial, --baud, --no-parity, --timeout, --verbose and --pcap. False with a
// problem for a bad value and for --tcp together with --serial.
bool parseLinkOptions(const ParsedArgs& args, LinkOptions& link, std::string& problem);

// How one request ended.
struct Outcome {
    std::uint8_t status = kStatusFailed;
    std::uint8_t replyCode = 0;
    std::int32_t transferResult = 0;
    bool acknowledged = false;
    bool interrupted = false;
    std::vector<std::uint8_t> answer;  // the answer's data; empty for an acknowledgement

    bool done() const { return status == kStatusDone; }
    // "ok", "acknowledged", "no answer", "negative reply ..." for messages and --verbose.
    std::string verdict() const;
};

// The channel operations of the session with what --verbose prints: every frame sent, every
// reply received. A capture of the session's traffic hooks in here as well.
class TracingIo : public ChannelIo {
public:
    TracingIo(ChannelIo& inner, std::ostream* trace) : inner_(inner), trace_(trace) {}
    bool isTcp(int channel) const override { return inner_.isTcp(channel); }
    bool ignoreLineErrors(int channel) const override { return inner_.ignoreLineErrors(channel); }
    int read(int channel, std::uint8_t* buffer, int count) override;
    int write(int channel, const std::uint8_t* buffer, int count) override;
    bool transmitByte(int channel, std::uint8_t byte) override;
    LineState lineState(int channel) override { return inner_.lineState(channel); }
    TcpStatus tcpState(int channel) override { return inner_.tcpState(channel); }
    int reopen() override { return inner_.reopen(); }
    // Prints the bytes received since the last frame sent.
    void flushReceived();

private:
    ChannelIo& inner_;
    std::ostream* trace_;
    std::vector<std::uint8_t> received_;
};

class BusSession {
public:
    BusSession(const LinkOptions& link, std::ostream& err);
    ~BusSession();
    BusSession(const BusSession&) = delete;
    BusSession& operator=(const BusSession&) = delete;

    // Opens channel 1 (for TCP: waits for the connection), after creating the --pcap file.
    // False with a problem naming the file, port or host and the reason.
    bool open(std::string& problem);
    // Runs one request of kind (0..6) with the user data and waits for its end.
    Outcome exchange(RequestKind kind, std::span<const std::uint8_t> userData);
    // Waits ms milliseconds with the event loop running; false when Ctrl+C came.
    bool pause(int ms);

    std::string linkName() const;
    // Counts the link statistics of the session from now on (with --pcap they are counted
    // anyway); trafficStats() holds them, or is null when nothing counts.
    void countTraffic();
    const TrafficStats* trafficStats() const { return tap_ ? &tap_->stats() : nullptr; }
    // The port and its settings as the write log names them.
    std::string portSettings() const;
    // The baud index channel 1 runs at (TCP: that of its record).
    std::uint16_t baudIndex() const;
    std::uint16_t replyTimeout() const { return comm_.engine.ReplyTimeout; }
    std::uint16_t pollInterval() const { return pollInterval_; }
    // The session's channel table and engine, for a caller that runs requests of its own
    // through them (the module finder's sweep).
    CommState& comm() { return comm_; }

    // True once an interrupt (Ctrl+C, SIGTERM, SIGHUP) came.
    static bool interrupted();
    // True once the command is to end: an interrupt, or a capture that could not be written.
    bool stopped() const;

private:
    bool openSerial(std::string& problem);
    bool openTcp(std::string& problem);
    bool useComConfig(std::string& problem);
    bool waitUntil(const std::function<bool()>& done, int maxMs);
    bool startCapture(std::string& problem);
    // Moves the frames the tap has completed into the capture, before its ring drops them.
    void collectCapture();
    void closeCapture();
    void captureFailed();

    LinkOptions link_;
    std::ostream& err_;
    CommState comm_;
    TForm_TCP tcp_;
    ChannelTableIo tableIo_;
    TracingIo io_;
    SystemClock clock_;
    QObject windowsOwner_;
    std::unique_ptr<TransferWindowFactory> windows_;
    TransferRequest request_;
    std::array<std::uint8_t, kBufferSize> data_{};
    std::uint16_t pollInterval_ = 100;
    std::string device_;
    bool opened_ = false;
    // --pcap: the tap on channel 1 and the capture file it feeds.
    SystemTrafficClock trafficClock_;
    std::unique_ptr<TrafficTap> tap_;
    CaptureWriter capture_;
    std::uint64_t capturedSeq_ = 0;
    bool captureReported_ = false;
};

// The write log of a command's writes to a module: zapisy.log in the working directory. A file
// that cannot be written stops no write; err is told once.
class SessionWriteLog {
public:
    SessionWriteLog(const BusSession& bus, std::ostream& err);
    void onWrite(const LoopWrite& write) { writes_.onWrite(write); }

private:
    WriteLog log_;
    ModuleWrites writes_;
};

}  // namespace velor::cli
