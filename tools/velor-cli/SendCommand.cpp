// send: a configuration file into a module, block by block as the program sends it after
// "Nastavit".

#include <algorithm>
#include <array>

#include "comm/PortRecord.h"
#include "config/ConfigFields.h"
#include "config/ImageBuilder.h"
#include "modules/ConfigSend.h"
#include "tools/velor-cli/Args.h"
#include "tools/velor-cli/BusSession.h"
#include "tools/velor-cli/Commands.h"
#include "tools/velor-cli/Output.h"

namespace velor::cli {

namespace {

constexpr long kDefaultFailures = 3;

std::optional<ConfigTarget> targetNamed(const std::string& name) {
    if (name == "tev") return ConfigTarget::BinaryInputs;
    if (name == "tew") return ConfigTarget::BinaryOutputs;
    if (name == "mokr") return ConfigTarget::Mokr;
    if (name == "zepa") return ConfigTarget::Zepa;
    return std::nullopt;
}

struct SendPlan {
    ConfigFileData file;
    ConfigTarget target = ConfigTarget::Kalu;
    long failures = kDefaultFailures;
    long baudAfter = -1;  // the link's rate unless given
    std::string path;     // the file, as given
};

LoopWrite loopWriteOf(const ConfigBlock& block, const SendPlan& p, const Outcome& o) {
    LoopWrite w;
    w.kind = RequestKind::Config;
    w.target = p.target;
    w.block = block.data.bytes;
    w.lastBlock = block.lastBlock;
    w.configFile = p.path;
    w.accepted = o.done();
    w.reason = writeFailureReason(o.replyCode);
    return w;
}

// The file, its target and the settings of the send; exit code 2 with a message when they do
// not fit together.
int plan(const ParsedArgs& a, SendPlan& p, std::ostream& err) {
    std::string problem;
    if (a.positional.size() != 1) return usageError("send", "name one .cfa or .cfb file", err);
    const std::string& path = a.positional[0];
    p.path = path;
    const auto kind = configFileKindOf(path);
    if (!kind || *kind == ConfigFileKind::ComConfig)
        return usageError("send", path + ": send takes a .cfa or .cfb file", err);
    if (!readConfigFile(QString::fromStdString(path), *kind, p.file, problem)) {
        err << "velor-cli: " << problem << "\n";
        return kExitUsage;
    }
    const auto targetText = a.value("--target");
    if (*kind == ConfigFileKind::Analog && targetText && *targetText != "kalu")
        return usageError("send", "a .cfa file goes to a KALU module only", err);
    if (*kind == ConfigFileKind::Binary) {
        const auto target = targetText ? targetNamed(*targetText) : std::nullopt;
        if (!target) return usageError("send", "a .cfb file needs --target tev|tew|mokr|zepa", err);
        p.target = *target;
    }
    ConfigState& c = p.file.config;
    long address = -1;
    if (!takeNumber(a, "--address", 0, kMaxModuleAddress, address, problem) ||
        !takeNumber(a, "--baud-after", 0, 4, p.baudAfter, problem) ||
        !takeNumber(a, "--retries", 0, 1000, p.failures, problem)) {
        return usageError("send", problem, err);
    }
    if (address >= 0) {
        c.AnalogConfig.ModuleAddress = c.BinaryConfig.ModuleAddress =
            static_cast<std::int32_t>(address);
    }
    return kExitOk;
}

// A send cut short (an interrupt, output that could not be written) leaves the module with the
// blocks it accepted so far: the technician has to know which.
int cutShort(const std::vector<std::string>& accepted, std::ostream& err) {
    err << "velor-cli: send ended before the configuration was complete; the module accepted ";
    if (accepted.empty()) err << "no block";
    for (std::size_t i = 0; i < accepted.size(); ++i) err << (i > 0 ? ", " : "") << accepted[i];
    err << "\n";
    return kExitInterrupted;
}

}  // namespace

int runSend(const Arguments& raw, std::ostream& out, std::ostream& err) {
    std::string problem;
    ParsedArgs a;
    LinkOptions link;
    const OptionSet options{{"--target", "--address", "--baud-after", "--retries"}, {}};
    if (!parseArgs(raw, options + linkOptionSet(), a, problem) ||
        !parseLinkOptions(a, link, problem)) {
        return usageError("send", problem, err);
    }
    SendPlan p;
    if (const int code = plan(a, p, err); code != kExitOk) return code;
    BusSession bus(link, err);
    if (!bus.open(problem)) {
        err << "velor-cli: " << problem << "\n";
        return BusSession::interrupted() ? kExitInterrupted : kExitUsage;
    }
    ConfigState& c = p.file.config;
    c.TargetBaudIndex =
        static_cast<std::uint16_t>(p.baudAfter >= 0 ? p.baudAfter : bus.baudIndex());
    out << "module address "
        << (p.target == ConfigTarget::Kalu ? c.AnalogConfig.ModuleAddress
                                           : c.BinaryConfig.ModuleAddress)
        << ", baud rate after the send " << baudRateAt(c.TargetBaudIndex) << " Bd (code "
        << int{baudCodeFor(c.TargetBaudIndex)} << ")\n";

    // The loop's sequence: a block after a failure is the one the sequencing gives, and the
    // send ends with an accepted last block. The program goes on for ever; here a number of
    // failed blocks ends it.
    std::array<std::uint8_t, kZepaImageSize> zepa{};
    SessionWriteLog writes(bus, err);
    bool secondHalf = false;
    long failed = 0;
    std::vector<std::string> accepted;
    for (;;) {
        const ConfigBlock block = nextConfigBlock(c, p.target, secondHalf, zepa);
        const Outcome o = bus.exchange(RequestKind::Config, block.data.bytes);
        if (o.interrupted) return cutShort(accepted, err);
        writes.onWrite(loopWriteOf(block, p, o));
        if (o.done() &&
            std::find(accepted.begin(), accepted.end(), block.data.statusText) == accepted.end())
            accepted.push_back(block.data.statusText);
        out << block.data.statusText << ": " << (o.done() ? "accepted" : o.verdict()) << "\n";
        if (o.done() && block.lastBlock) return kExitOk;
        if (!written(out)) return cutShort(accepted, err);
        secondHalf = block.kaluSecondHalf;
        if (o.done()) continue;
        if (o.status == kStatusPortUnusable) return kExitUsage;
        if (++failed > p.failures) {
            err << "velor-cli: send to " << bus.linkName() << " failed after " << failed
                << " failed blocks\n";
            return kExitNo;
        }
        secondHalf = kaluHalfAfterFailedBlock(p.target, secondHalf);
    }
}

}  // namespace velor::cli
