#pragma once
// The transfer engine wired as the program wires it (its transfer windows on the system clock)
// for tests that run real exchanges: over the channel table, or over the TCP transport alone.

#include <cstdint>
#include <string>

#include "comm/ChannelIo.h"
#include "comm/ChannelTableIo.h"
#include "comm/Clock.h"
#include "comm/CommState.h"
#include "comm/EngineState.h"
#include "comm/TcpTransport.h"
#include "comm/TransferWindow.h"

namespace velor::test {

// Gives the engine the program's transfer windows over io; transferResult takes each window's
// result.
class EngineWindows {
public:
    EngineWindows(EngineState& engine, ChannelIo& io, std::int32_t& transferResult)
        : windows_({engine, io, clock_, transferResult}) {
        engine.Windows = &windows_;
    }
    EngineWindows(const EngineWindows&) = delete;
    EngineWindows& operator=(const EngineWindows&) = delete;

private:
    SystemClock clock_;
    TransferWindowFactoryQt windows_;
};

// The engine of comm over its channel table.
struct ChannelEngine {
    explicit ChannelEngine(CommState& comm)
        : io(comm.channel), windows(comm.engine, io, comm.channel.TransferResult) {}
    ChannelTableIo io;
    EngineWindows windows;
};

// The channel operations as the engine sees them, over the TCP transport only. A reopen
// connects channel 1 to reopenHost again when one is set; it is counted either way.
struct TcpOnlyIo : ChannelIo {
    explicit TcpOnlyIo(TForm_TCP& t) : tcp(t) {}
    bool isTcp(int) const override { return true; }
    bool ignoreLineErrors(int) const override { return false; }
    int read(int ch, std::uint8_t* b, int n) override { return tcp.TcpRead(ch, b, n); }
    int write(int ch, const std::uint8_t* b, int n) override { return tcp.TcpSend(ch, b, n); }
    bool transmitByte(int, std::uint8_t) override { return false; }
    LineState lineState(int) override { return {}; }
    TcpStatus tcpState(int ch) override { return tcp.TcpState(ch); }
    int reopen() override {
        ++reopens;
        if (!reopenHost.empty()) tcp.TcpOpen(1, reopenHost);
        return 0;
    }

    TForm_TCP& tcp;
    std::string reopenHost;
    int reopens = 0;
};

// An engine of its own over the TCP transport alone.
struct TcpEngine {
    explicit TcpEngine(TForm_TCP& tcp) : io(tcp) {}
    TcpOnlyIo io;
    EngineState engine;
    std::int32_t transferResult = 0;
    EngineWindows windows{engine, io, transferResult};
};

}  // namespace velor::test
