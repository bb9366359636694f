#pragma once
// The writes of the polling loop and of velor-cli into the write log: the outputs a monitoring
// request carried (a line when they change, not one per poll) and a configuration sent in
// blocks (a line when its last block is accepted, and one when a send first fails).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "modules/WriteLog.h"
#include "modules/LoopWrite.h"

namespace velor {

// The outputs a monitoring request writes, as the log shows them; empty when it writes none
// (TEV, the probe, the MOKR phase that reads the counters).
std::string writtenOutputsText(const MonitorSource& source);
// "KALU", "TEV/TEVW", "TEW", "MOKR", "ZEPA".
std::string configTargetName(ConfigTarget target);
// Why a write failed: the negative reply's text, else "Chyba přenosu".
std::string writeFailureReason(int replyCode);

class ModuleWrites {
public:
    // port: the port and its settings now (portSettingsText()).
    ModuleWrites(WriteLog& log, std::function<std::string()> port);

    // False when a line was due and could not be written.
    bool onWrite(const LoopWrite& write);

private:
    bool onOutputs(const LoopWrite& write);
    bool onBlock(const LoopWrite& write);
    WriteEntry entry(int address, std::string kind, std::string what, const LoopWrite& w) const;

    WriteLog& log_;
    std::function<std::string()> port_;
    OutputWriteFilter outputs_;
    RequestKind lastKind_ = RequestKind::Probe;  // another window polled: its writes start anew
    std::vector<std::uint8_t> sent_;             // the blocks of the send under way
    bool sendFailureLogged_ = false;
};

}  // namespace velor
