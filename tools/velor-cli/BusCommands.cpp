// scan, read, write and send: the bus commands.

#include <QDateTime>
#include <QElapsedTimer>
#include <algorithm>
#include <memory>
#include <sstream>

#include "config/ConfigFields.h"
#include "modules/ConfigSend.h"
#include "modules/RequestBuilders.h"
#include "report/ReportPdf.h"
#include "report/ServiceReport.h"
#include "tools/velor-cli/Args.h"
#include "tools/velor-cli/BusSession.h"
#include "tools/velor-cli/Commands.h"
#include "tools/velor-cli/ModuleView.h"
#include "tools/velor-cli/Output.h"

namespace velor::cli {

namespace {

// The arguments of a bus command; the link is opened once the command's own options are
// known to be good, so a usage fault never waits for a port or host.
struct Prepared {
    ParsedArgs args;
    LinkOptions link;
    std::unique_ptr<BusSession> session;
    int code = kExitOk;
};

Prepared prepare(const std::string& command, const Arguments& raw, const OptionSet& options,
                 std::ostream& err) {
    Prepared p;
    std::string problem;
    if (!parseArgs(raw, options + linkOptionSet(), p.args, problem) ||
        !parseLinkOptions(p.args, p.link, problem)) {
        p.code = usageError(command, problem, err);
    }
    return p;
}

// Opens the link; the exit code 2 (or 130) with a message when it cannot be opened.
int openLink(Prepared& p, std::ostream& err) {
    p.session = std::make_unique<BusSession>(p.link, err);
    std::string problem;
    if (p.session->open(problem)) return kExitOk;
    err << "velor-cli: " << problem << "\n";
    return BusSession::interrupted() ? kExitInterrupted : kExitUsage;
}

int failure(const std::string& what, const Outcome& o, std::ostream& err) {
    if (o.interrupted) return kExitInterrupted;
    err << "velor-cli: " << what << ": " << o.verdict() << "\n";
    return o.status == kStatusPortUnusable ? kExitUsage : kExitNo;
}

// Reads a configuration file for --config; false with a message (exit 2).
bool loadConfig(const std::string& path, ConfigFileData& data, std::ostream& err) {
    const auto kind = configFileKindOf(path);
    std::string problem;
    if (!kind || *kind == ConfigFileKind::ComConfig) {
        err << "velor-cli: " << path << ": --config wants a .cfa or .cfb file\n";
        return false;
    }
    if (!readConfigFile(QString::fromStdString(path), *kind, data, problem)) {
        err << "velor-cli: " << problem << "\n";
        return false;
    }
    return true;
}

// The monitoring request of the source, as the program builds it.
std::vector<std::uint8_t> requestOf(const MonitorSource& src) {
    return monitorUserData(src).bytes;
}

MonitorSource sourceFor(RequestKind kind, long address) {
    MonitorSource src;
    src.kind = kind;
    src.analogAddress = static_cast<std::int32_t>(address);
    src.binaryAddress = static_cast<std::int32_t>(address);
    return src;
}

// One sample: one request, or for MOKR the counter read followed by the state read.
int takeSample(BusSession& bus, MonitorSource src, const InputNames& names, Sample& sample,
               std::ostream& err) {
    const std::string what =
        moduleKindName(src.kind) + " address " + std::to_string(src.binaryAddress);
    sample.address = src.binaryAddress;
    const Outcome first = bus.exchange(src.kind, requestOf(src));
    sample.time = QDateTime::currentDateTime();
    if (!first.done()) return failure(what, first, err);
    bool decoded = false;
    if (src.kind != RequestKind::Mokr) {
        decoded = decodeSample(src.kind, first.answer, names, sample);
    } else {
        src.mokrWritePhase = true;
        const Outcome states = bus.exchange(src.kind, requestOf(src));
        if (!states.done()) return failure(what, states, err);
        decoded = decodeMokrSample(src.mokrInputPiggy, first.answer, states.answer, sample);
    }
    if (!decoded) {
        err << "velor-cli: " << what << ": the answer is too short for its layout\n";
        return kExitNo;
    }
    return kExitOk;
}

LoopWrite loopWriteOf(const MonitorSource& src, const Outcome& o) {
    LoopWrite w;
    w.kind = src.kind;
    w.source = src;
    w.accepted = o.done();
    w.reason = writeFailureReason(o.replyCode);
    return w;
}

// The report's module, polled for a time: the last answer decoded as the window decodes it.
// MOKR alternates its two requests, as the window does.
struct Polled {
    DecodeResult shown;
    int answers = 0;
    bool interrupted = false;
};

Polled pollForReport(BusSession& bus, MonitorSource src, const ConfigState& config, long ms) {
    Polled polled;
    const KaluFormats formats = kaluFormatsOf(config.AnalogConfig);
    UnitSelections sel;
    sel.MokrInputPiggy = src.mokrInputPiggy;
    DecoderState state;
    QElapsedTimer time;
    time.start();
    while (time.elapsed() < ms) {
        src.mokrWritePhase = sel.MokrWritePhase;
        const Outcome o = bus.exchange(src.kind, requestOf(src));
        if (o.interrupted) return {polled.shown, polled.answers, true};
        if (o.done()) {
            const DecodeResult r = DecodeAnswer(src.kind, o.answer, formats, {}, sel, state);
            if (r.decoded) polled.shown = r;
            polled.answers += r.decoded ? 1 : 0;
        }
        if (!bus.pause(bus.pollInterval())) return {polled.shown, polled.answers, true};
    }
    return polled;
}

}  // namespace

int runScan(const Arguments& raw, std::ostream& out, std::ostream& err) {
    Prepared p = prepare("scan", raw, {{"--from", "--to"}, {}}, err);
    if (p.code != kExitOk) return p.code;
    long from = 0, to = 31;
    std::string problem;
    if (!takeNumber(p.args, "--from", 0, kMaxModuleAddress, from, problem) ||
        !takeNumber(p.args, "--to", 0, kMaxModuleAddress, to, problem) ||
        !p.args.positional.empty()) {
        return usageError("scan", problem.empty() ? "unexpected argument" : problem, err);
    }
    if (from > to) return usageError("scan", "--from must not be above --to", err);
    if (const int code = openLink(p, err); code != kExitOk) return code;
    int found = 0;
    for (long address = from; address <= to; ++address) {
        MonitorSource src;
        src.scanAddress = static_cast<std::int32_t>(address);
        const Outcome o = p.session->exchange(RequestKind::Probe, requestOf(src));
        if (o.interrupted) return kExitInterrupted;
        if (o.status == kStatusPortUnusable) return failure(p.session->linkName(), o, err);
        if (!o.done()) continue;
        out << "address " << address << "\n";
        if (!written(out)) return kExitOk;  // the reader went away: main tells the code
        ++found;
    }
    if (found == 0) err << "velor-cli: no module answered at " << from << ".." << to << "\n";
    return found > 0 ? kExitOk : kExitNo;
}

int runRead(const Arguments& raw, std::ostream& out, std::ostream& err) {
    Prepared p = prepare(
        "read", raw,
        {{"--address", "--count", "--interval", "--config", "--board", "--csv", "--decimal"}, {}},
        err);
    if (p.code != kExitOk) return p.code;
    const ParsedArgs& a = p.args;
    std::string problem;
    long address = -1, count = 1, interval = -1, board = 0;
    const auto kind = a.positional.size() == 1 ? moduleKindNamed(a.positional[0]) : std::nullopt;
    if (!kind) return usageError("read", "name one module: kalu, tev, tevw, tew or mokr", err);
    if (!takeNumber(a, "--address", 0, kMaxModuleAddress, address, problem) ||
        !takeNumber(a, "--count", 1, 100000000, count, problem) ||
        !takeNumber(a, "--interval", 0, 3600000, interval, problem) ||
        !takeNumber(a, "--board", 0, 7, board, problem)) {
        return usageError("read", problem, err);
    }
    if (address < 0) return usageError("read", "--address is missing", err);
    const std::string decimal = a.value("--decimal").value_or(",");
    if (decimal != "," && decimal != ".") return usageError("read", "--decimal is , or .", err);

    ConfigFileData config;
    const bool haveConfig = a.has("--config");
    if (haveConfig && !loadConfig(*a.value("--config"), config, err)) return kExitUsage;
    const InputNames names = namesFromConfig(*kind, haveConfig ? &config.config : nullptr);
    // The file first: a file that cannot be written stops the command before the bus is used.
    CsvWriter csv(decimal[0]);
    if (const auto path = a.value("--csv")) {
        if (!csv.open(QString::fromStdString(*path), "time", "address", csvTitles(*kind, names))) {
            err << "velor-cli: " << csv.errorText().toStdString() << "\n";
            return kExitUsage;
        }
    }
    if (const int code = openLink(p, err); code != kExitOk) return code;
    if (interval < 0) interval = p.session->pollInterval();
    MonitorSource src = sourceFor(*kind, address);
    src.mokrInputPiggy = static_cast<std::int32_t>(board);
    int code = kExitOk;
    for (long i = 0; i < count && code == kExitOk; ++i) {
        if (i > 0 && !p.session->pause(static_cast<int>(interval))) return kExitInterrupted;
        Sample sample;
        try {
            code = takeSample(*p.session, src, names, sample, err);
        } catch (const std::exception& e) {
            err << "velor-cli: " << e.what() << " while decoding (check --config)\n";
            return kExitUsage;
        }
        if (code != kExitOk) break;
        printSample(sample, names, out);
        if (!written(out)) return kExitOk;  // the reader went away: main tells the code
        if (csv.isOpen() && !csv.appendRow(sample.time, sample.address, csvValues(sample, names))) {
            err << "velor-cli: " << csv.errorText().toStdString() << "\n";
            return kExitUsage;
        }
    }
    return code;
}

int runWrite(const Arguments& raw, std::ostream& out, std::ostream& err) {
    Prepared p = prepare("write", raw, {{"--address", "--outputs", "--board"}, {}}, err);
    if (p.code != kExitOk) return p.code;
    const ParsedArgs& a = p.args;
    std::string problem;
    long address = -1, board = -1;
    const auto kind = a.positional.size() == 1 ? moduleKindNamed(a.positional[0]) : std::nullopt;
    if (!kind || *kind == RequestKind::Tev)
        return usageError("write", "name one module with outputs: kalu, tevw, tew or mokr", err);
    if (!takeNumber(a, "--address", 0, kMaxModuleAddress, address, problem) ||
        !takeNumber(a, "--board", 0, 7, board, problem)) {
        return usageError("write", problem, err);
    }
    const auto outputs = a.value("--outputs");
    if (address < 0 || !outputs)
        return usageError("write", "--address and --outputs are needed", err);
    MonitorSource src = sourceFor(*kind, address);
    if (*kind == RequestKind::Kalu) {
        std::stringstream list(*outputs);
        std::string item;
        int n = 0;
        while (std::getline(list, item, ',')) {
            const auto v = parseNumber(item, -128, 255);
            if (!v || n >= static_cast<int>(kKaluOutputs))
                return usageError("write", "--outputs wants six values -128..255", err);
            src.kaluOutputs[static_cast<std::size_t>(n++)] = static_cast<std::int32_t>(*v);
        }
        if (n != static_cast<int>(kKaluOutputs))
            return usageError("write", "--outputs wants six values -128..255", err);
    } else {
        const long high = *kind == RequestKind::Mokr ? 0xFF : 0xFFFF;
        const auto word = parseNumber(*outputs, 0, high);
        if (!word)
            return usageError("write", "--outputs wants a number 0.." + std::to_string(high), err);
        src.tewOutputs = src.tevwOutputs = static_cast<std::uint16_t>(*word);
        if (*kind == RequestKind::Mokr) {
            if (board < 0) return usageError("write", "mokr needs --board 0..7", err);
            src.piggyOutputs[static_cast<std::size_t>(board)] = static_cast<std::uint8_t>(*word);
            src.mokrWritePhase = true;
        }
    }
    if (const int code = openLink(p, err); code != kExitOk) return code;
    const std::string what = a.positional[0] + " address " + std::to_string(address);
    SessionWriteLog writes(*p.session, err);
    const Outcome o = p.session->exchange(*kind, requestOf(src));
    if (!o.interrupted) writes.onWrite(loopWriteOf(src, o));
    if (!o.done()) return failure(what, o, err);
    Sample sample;
    sample.address = static_cast<int>(address);
    sample.time = QDateTime::currentDateTime();
    const InputNames names;
    bool decoded = false;
    if (*kind == RequestKind::Mokr) {
        sample.kind = RequestKind::Mokr;
        decoded = o.answer.size() >= kMokrStateBytes;
        if (decoded) {
            out << CsvWriter::timeText(sample.time) << "  mokr address " << address << "\n"
                << "  board " << board << " written 0x" << std::hex
                << *parseNumber(*outputs, 0, 255) << std::dec << "; input state bytes: filtered "
                << int{o.answer[kMokrFilteredByte + static_cast<std::size_t>(board)]}
                << ", unfiltered " << int{o.answer[static_cast<std::size_t>(board)]} << "\n";
        }
    } else {
        decoded = decodeSample(*kind, o.answer, names, sample);
        if (decoded) printSample(sample, names, out);
    }
    if (!decoded) {
        err << "velor-cli: " << what << ": the answer is too short for its layout\n";
        return kExitNo;
    }
    return kExitOk;
}

int runReport(const Arguments& raw, std::ostream& out, std::ostream& err) {
    Prepared p = prepare("report", raw,
                         {{"--address", "--kind", "--config", "--board", "--seconds", "--pdf",
                           "--technician", "--note"},
                          {}},
                         err);
    if (p.code != kExitOk) return p.code;
    const ParsedArgs& a = p.args;
    std::string problem;
    long address = -1, board = 0, seconds = 3;
    const auto named = a.value("--kind") ? moduleKindNamed(*a.value("--kind")) : std::nullopt;
    if (!named) return usageError("report", "--kind is kalu, tev, tew, tevw or mokr", err);
    const RequestKind kind = *named;
    if (!takeNumber(a, "--address", 0, 255, address, problem) ||
        !takeNumber(a, "--board", 0, 7, board, problem) ||
        !takeNumber(a, "--seconds", 1, 600, seconds, problem))
        return usageError("report", problem, err);
    const auto pdf = a.value("--pdf");
    if (address < 0 || !pdf) return usageError("report", "--address and --pdf are needed", err);

    ConfigFileData config;
    const auto configPath = a.value("--config");
    if (configPath && !loadConfig(*configPath, config, err)) return kExitUsage;
    ConfigState& c = config.config;
    c.AnalogConfig.ModuleAddress = c.BinaryConfig.ModuleAddress =
        static_cast<std::int32_t>(address);
    if (const int code = openLink(p, err); code != kExitOk) return code;
    p.session->countTraffic();
    MonitorSource src = sourceFor(kind, address);
    src.mokrInputPiggy = static_cast<std::int32_t>(board);
    const Polled polled = pollForReport(*p.session, src, c, seconds * 1000);
    if (polled.interrupted) return kExitInterrupted;

    ServiceReport r;
    r.time = QDateTime::currentDateTime();
    r.technician = a.value("--technician").value_or(currentUserName());
    r.workstation = workstationName();
    r.port = p.session->portSettings();
    r.address = static_cast<int>(address);
    r.kind = kind;
    if (configPath) {
        r.configFile = *configPath;
        r.configChecksum = reportConfigChecksum(kind, c);
        r.inputs = reportInputs(kind, c, static_cast<int>(board));
    }
    r.values = reportValues(polled.shown, c, static_cast<int>(board));
    r.link = reportLink(*p.session->trafficStats(), r.address);
    r.note = a.value("--note").value_or("");
    QString error;
    if (!writeReportPdf(r, QString::fromStdString(*pdf), &error)) {
        err << "velor-cli: " << *pdf << ": " << error.toStdString() << "\n";
        return kExitUsage;
    }
    out << *pdf << ": " << moduleKindName(kind) << " address " << address << ", " << polled.answers
        << " answers\n";
    if (polled.answers > 0) return kExitOk;
    err << "velor-cli: " << moduleKindName(kind) << " address " << address
        << ": no answer; the report says so\n";
    return kExitNo;
}

}  // namespace velor::cli
