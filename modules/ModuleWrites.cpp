#include "modules/ModuleWrites.h"

#include <cstdio>
#include <utility>

#include "comm/TrafficFrames.h"
#include "modules/AnswerDecoder.h"

namespace velor {

namespace {

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string kaluOutputsText(const MonitorSource& s) {
    std::string text;
    for (std::int32_t v : s.kaluOutputs) {
        if (!text.empty()) text += ", ";
        text += std::to_string(v & 0xFF);  // the request carries the low 8 bits
    }
    return text;
}

std::string piggyOutputsText(const MonitorSource& s) {
    std::string text = "P0..P7";
    for (std::uint8_t b : s.piggyOutputs) text += " " + hex(b, 2).substr(2);
    return text;
}

}  // namespace

std::string writtenOutputsText(const MonitorSource& source) {
    switch (source.kind) {
        case RequestKind::Kalu:
            return kaluOutputsText(source);
        case RequestKind::Tew:
            return hex(source.tewOutputs, 4);
        case RequestKind::Tevw:
            return hex(source.tevwOutputs, 4);
        case RequestKind::Mokr:
            return source.mokrWritePhase ? piggyOutputsText(source) : "";
        default:
            return "";
    }
}

std::string configTargetName(ConfigTarget target) {
    switch (target) {
        case ConfigTarget::Kalu:
            return "KALU";
        case ConfigTarget::BinaryInputs:
            return "TEV/TEVW";
        case ConfigTarget::BinaryOutputs:
            return "TEW";
        case ConfigTarget::Mokr:
            return "MOKR";
        case ConfigTarget::Zepa:
            return "ZEPA";
    }
    return "?";
}

std::string writeFailureReason(int replyCode) {
    const std::string negative = protocolErrorText(replyCode);
    return negative.empty() ? kTextTransferError : negative;
}

ModuleWrites::ModuleWrites(WriteLog& log, std::function<std::string()> port)
    : log_(log), port_(std::move(port)) {}

bool ModuleWrites::onWrite(const LoopWrite& write) {
    if (write.kind == RequestKind::Config) return onBlock(write);
    return onOutputs(write);
}

bool ModuleWrites::onOutputs(const LoopWrite& w) {
    const std::string outputs = writtenOutputsText(w.source);
    if (outputs.empty()) return true;
    if (std::exchange(lastKind_, w.kind) != w.kind) outputs_.restart();
    const int address =
        w.kind == RequestKind::Kalu ? w.source.analogAddress : w.source.binaryAddress;
    const std::string kind = requestKindName(static_cast<std::uint8_t>(w.kind));
    const std::string what = outputs_.onPoll(kind, address, outputs, w.accepted);
    if (what.empty()) return true;
    return log_.append(entry(address, kind, what, w));
}

// Blocks are gathered until the last one is accepted. A failed block starts the send again
// (the loop repeats it, a KALU configuration from its first half): one line for the first
// failure of a send, one for its acceptance.
bool ModuleWrites::onBlock(const LoopWrite& w) {
    if (w.block.empty()) return true;
    const int address = w.block.front();
    if (!w.accepted) {
        sent_.clear();
        if (std::exchange(sendFailureLogged_, true)) return true;
        return log_.append(
            entry(address, configTargetName(w.target), "konfigurace " + w.configFile, w));
    }
    sent_.insert(sent_.end(), w.block.begin(), w.block.end());
    if (!w.lastBlock) return true;
    const std::string what = "konfigurace " + w.configFile + ", bloky " +
                             std::to_string(sent_.size()) + " B, " + blockChecksumText(sent_);
    sent_.clear();
    sendFailureLogged_ = false;
    return log_.append(entry(address, configTargetName(w.target), what, w));
}

WriteEntry ModuleWrites::entry(int address, std::string kind, std::string what,
                               const LoopWrite& w) const {
    WriteEntry e;
    e.port = port_ ? port_() : std::string();
    e.address = address;
    e.kind = std::move(kind);
    e.what = std::move(what);
    e.accepted = w.accepted;
    e.reason = w.reason;
    return e;
}

}  // namespace velor
