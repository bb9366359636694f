// velor-cli find: the module finder's sweep on a serial port.

#include <sstream>

#include "modules/ModuleSweep.h"
#include "tools/velor-cli/Args.h"
#include "tools/velor-cli/BusSession.h"
#include "tools/velor-cli/Commands.h"
#include "tools/velor-cli/Output.h"

namespace velor::cli {

namespace {

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) items.push_back(item);
    return items;
}

bool takeBauds(const ParsedArgs& args, SweepSettings& s, std::string& problem) {
    const auto list = args.value("--baud");
    if (!list) return true;
    s.baudIndexes.clear();
    for (const std::string& item : splitList(*list)) {
        const long baud = parseNumber(item, 1, 1000000).value_or(0);
        bool known = false;
        for (std::size_t i = 0; i < BaudRates.size(); ++i) {
            if (BaudRates[i] != baud) continue;
            s.baudIndexes.push_back(static_cast<std::uint16_t>(i));
            known = true;
        }
        if (!known) {
            problem = "--baud wants a list of 4800, 9600, 19200, 38400, 57600";
            return false;
        }
    }
    return !s.baudIndexes.empty();
}

bool takeParities(const ParsedArgs& args, SweepSettings& s, std::string& problem) {
    const auto list = args.value("--parity");
    if (!list) return true;
    s.noParity.clear();
    for (const std::string& item : splitList(*list)) {
        if (item != "even" && item != "none") {
            problem = "--parity wants even, none or even,none";
            return false;
        }
        s.noParity.push_back(item == "none");
    }
    return !s.noParity.empty();
}

bool takeSettings(const ParsedArgs& args, SweepSettings& s, std::string& problem) {
    long from = s.from, to = s.to, timeout = s.timeoutMs;
    if (!takeBauds(args, s, problem) || !takeParities(args, s, problem) ||
        !takeNumber(args, "--from", 0, 31, from, problem) ||
        !takeNumber(args, "--to", 0, 31, to, problem) ||
        !takeNumber(args, "--timeout", 1, 60000, timeout, problem)) {
        return false;
    }
    if (from > to) {
        problem = "--from must not be above --to";
        return false;
    }
    s.from = static_cast<int>(from);
    s.to = static_cast<int>(to);
    s.timeoutMs = static_cast<std::uint16_t>(timeout);
    return true;
}

// The answers say nothing about the parity when a module answered at both.
void noteBothParities(const std::vector<SweepAnswer>& answers, std::ostream& err) {
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const SweepPoint& p = answers[i].point;
        if (p.noParity || !answeredAtBothParities(answers, i)) continue;
        err << "velor-cli: address " << p.address << " at " << baudRateAt(p.baudIndex)
            << " Bd answered with even parity and with none: the line does not tell parity "
               "apart (a pseudo-terminal or an adapter that ignores parity); use the parity "
               "the module is set to\n";
    }
}

// Prints the answers from printed on; false once the output could not be written.
bool printAnswers(const std::vector<SweepAnswer>& answers, std::size_t& printed,
                  std::ostream& out) {
    for (; printed < answers.size(); ++printed) {
        const SweepAnswer& a = answers[printed];
        out << "address " << a.point.address << " baud " << baudRateAt(a.point.baudIndex)
            << " parity " << (a.point.noParity ? "none" : "even") << " " << answerKindText(a.kind)
            << "\n";
    }
    return written(out);
}

// An interrupt or a closed output ends the loop at once; a probe still running is dropped with
// the session, which closes the port.
int sweepAndReport(BusSession& session, const SweepSettings& settings, std::ostream& out,
                   std::ostream& err) {
    ModuleSweep sweep(session.comm(), settings);
    std::size_t printed = 0;
    for (bool more = true; more;) {
        more = sweep.step();
        if (!printAnswers(sweep.answers(), printed, out)) return kExitOk;
        if (more && !session.pause(2)) return kExitInterrupted;
    }
    sweep.finish();
    if (sweep.portLost()) {
        err << "velor-cli: " << session.linkName()
            << ": the port was lost during the sweep (unplugged or gone); the answers above are "
               "those found before\n";
        return kExitNo;
    }
    noteBothParities(sweep.answers(), err);
    if (sweep.answers().empty()) err << "velor-cli: no module answered\n";
    return sweep.answers().empty() ? kExitNo : kExitOk;
}

}  // namespace

int runFind(const Arguments& raw, std::ostream& out, std::ostream& err) {
    ParsedArgs args;
    std::string problem;
    const OptionSet known{{"--serial", "--baud", "--parity", "--from", "--to", "--timeout"}, {}};
    if (!parseArgs(raw, known, args, problem)) return usageError("find", problem, err);
    SweepSettings settings;
    if (!args.has("--serial")) return usageError("find", "give --serial COMn or a device", err);
    if (!checkSerialName(*args.value("--serial"), problem) ||
        !takeSettings(args, settings, problem) || !args.positional.empty())
        return usageError("find", problem.empty() ? "unexpected argument" : problem, err);
    LinkOptions link;
    link.serial = args.value("--serial");
    BusSession session(link, err);
    if (!session.open(problem)) {
        err << "velor-cli: " << problem << "\n";
        return BusSession::interrupted() ? kExitInterrupted : kExitUsage;
    }
    return sweepAndReport(session, settings, out, err);
}

}  // namespace velor::cli
