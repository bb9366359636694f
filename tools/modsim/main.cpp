// velor-modsim: a bus of emulated field modules on TCP and on a pseudo-terminal.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>

#include <cstdio>
#include <map>

#include "tools/modsim/Bus.h"
#include "tools/modsim/EventLog.h"
#include "tools/modsim/Options.h"
#include "tools/modsim/Platform.h"
#include "tools/modsim/SimServer.h"

using namespace velor::modsim;

namespace {

struct Settings {
    HostPort tcp{"127.0.0.1", 10000};
    QString ptyLink;
    FaultOptions faults;
    std::optional<NegativeSpec> negative;
    QString logPath;
    QString eventsPath;
};

[[noreturn]] void fail(const QString& text) {
    std::fprintf(stderr, "velor-modsim: %s\n", qPrintable(text));
    std::exit(2);
}

void addOptions(QCommandLineParser& p) {
    p.setApplicationDescription(
        "Emulates a bus of field I/O modules (KALU, TEV, TEW, TEVW, MOKR, ZEPA) on TCP and on a\n"
        "pseudo-terminal. Probes are acknowledged with E5, reads answered from a memory map\n"
        "that changes over time, writes acknowledged with E5 and stored. A request a module\n"
        "cannot serve gets 10 A 40 FC CS 16: FC 2 unknown request code, FC 9 area or address\n"
        "range it does not have, FC 12 malformed descriptors. Absent addresses stay silent.\n"
        "Prints 'listening tcp HOST:PORT' and 'listening pty DEVICE' on stdout once ready.\n"
        "Fault switches use one random generator seeded by --seed, so runs repeat.\n"
        "Event lines: probe, request (addr, code, items), reply (kind, fc, faults, hex),\n"
        "block (configuration data stored), write (output data stored), drop, connect,\n"
        "disconnect. SIGTERM, SIGINT or Ctrl+C ends it and removes the --pty link.");
    p.addHelpOption();
    p.addOptions({
        {"tcp", "Listen on HOST:PORT (default 127.0.0.1:10000; PORT 0 picks a free port).",
         "HOST:PORT"},
        {"allow-remote", "Allow a --tcp address that is not a loopback address."},
        {"no-tcp", "Do not listen on TCP (use with --pty)."},
        {"pty", "Open a pseudo-terminal and make LINK a symbolic link to its device.", "LINK"},
        {"module",
         "Put a module on the bus; repeatable. ADDR 0..31, TYPE KALU, TEV, TEW, TEVW, MOKR or "
         "ZEPA. Without any: KALU 1, TEV 2, TEW 3, TEVW 4, MOKR 5.",
         "ADDR:TYPE"},
        {"line",
         "Line setting on the --pty link: after a --module it belongs to that module, before "
         "any --module it holds for every module. Such a module answers only when the program "
         "has set the pseudo-terminal to BAUD (read with tcgetattr on the slave). PARITY (even "
         "or none) is recorded but cannot be emulated: a pseudo-terminal carries no parity "
         "bit, so a module answers at either parity. TCP ignores line settings.",
         "BAUD[,PARITY]"},
        {"delay", "Answer every frame MS milliseconds late.", "MS"},
        {"drop", "Leave a reply unsent with probability P (0..1).", "P"},
        {"bad-checksum", "Spoil the check byte of a framed reply with probability P.", "P"},
        {"garbage", "Send 1..4 noise bytes before a reply with probability P.", "P"},
        {"negative",
         "Answer every request (not the probe) with the short negative reply of function code "
         "FC (2, 9, 12 or any 0..255); FC@ADDR limits it to the module at ADDR.",
         "FC[@ADDR]"},
        {"split", "Send every reply in up to three pieces, 15 ms apart."},
        {"disconnect-after", "Close a TCP connection after it has sent N frames.", "N"},
        {"seed", "Seed of the fault generator (default 1).", "N"},
        {"log", "Write the frame log (time, link, direction, hex) to FILE instead of stderr.",
         "FILE"},
        {"events",
         "Write one JSON object per line for every request, reply, block, write and "
         "drop to FILE.",
         "FILE"},
    });
}

double probability(const QCommandLineParser& p, const char* name) {
    if (!p.isSet(name)) return 0.0;
    const auto v = parseProbability(p.value(name).toStdString());
    if (!v) fail(QString("--%1 wants a probability 0..1").arg(name));
    return *v;
}

std::int64_t number(const QCommandLineParser& p, const char* name, std::int64_t low,
                    std::int64_t high, std::int64_t fallback) {
    if (!p.isSet(name)) return fallback;
    const auto v = parseNumber(p.value(name).toStdString(), low, high);
    if (!v) fail(QString("--%1 wants a number %2..%3").arg(name).arg(low).arg(high));
    return *v;
}

void buildBus(const QCommandLineParser& p, Bus& bus) {
    const QStringList specs = p.values("module");
    if (specs.isEmpty()) {
        addDemoModules(bus);
        return;
    }
    for (const QString& text : specs) {
        const auto spec = parseModuleSpec(text.toStdString());
        if (!spec) fail("--module wants ADDR:TYPE, ADDR 0..31, TYPE KALU/TEV/TEW/TEVW/MOKR/ZEPA");
        bus.addModule(spec->address, spec->type);
    }
}

// A --line after a --module belongs to it; one before the first --module is the bus's.
std::map<int, LineSetting> lineSettings(const QCommandLineParser& p, const Bus& bus) {
    const QStringList modules = p.values("module");
    const QStringList lines = p.values("line");
    std::optional<LineSetting> busLine;
    std::map<int, LineSetting> result;
    int moduleIndex = -1;
    int lineIndex = 0;
    for (const QString& name : p.optionNames()) {
        if (name == "module") ++moduleIndex;
        if (name != "line") continue;
        const auto line = parseLineSetting(lines.value(lineIndex++).toStdString());
        if (!line) fail("--line wants BAUD or BAUD,PARITY (PARITY even or none)");
        if (moduleIndex < 0) {
            busLine = line;
            continue;
        }
        result[parseModuleSpec(modules.value(moduleIndex).toStdString())->address] = *line;
    }
    if (busLine) {
        for (const auto& entry : bus.modules()) result.try_emplace(entry.first, *busLine);
    }
    return result;
}

Settings readSettings(const QCommandLineParser& p) {
    Settings s;
    if (p.isSet("tcp")) {
        const auto hp = parseHostPort(p.value("tcp").toStdString());
        if (!hp) fail("--tcp wants HOST:PORT");
        s.tcp = *hp;
    }
    s.ptyLink = p.value("pty");
    s.faults.delayMs = static_cast<int>(number(p, "delay", 0, 60000, 0));
    s.faults.drop = probability(p, "drop");
    s.faults.badChecksum = probability(p, "bad-checksum");
    s.faults.garbage = probability(p, "garbage");
    s.faults.split = p.isSet("split");
    s.faults.disconnectAfter = static_cast<int>(number(p, "disconnect-after", 1, 1000000, 0));
    s.faults.seed = static_cast<std::uint32_t>(number(p, "seed", 0, 0xFFFFFFFF, 1));
    if (p.isSet("negative")) {
        s.negative = parseNegativeSpec(p.value("negative").toStdString());
        if (!s.negative) fail("--negative wants FC or FC@ADDR");
    }
    s.logPath = p.value("log");
    s.eventsPath = p.value("events");
    return s;
}

std::FILE* openLog(const QString& path) {
    std::FILE* f = openForWriting(path);
    if (f == nullptr) fail("cannot write " + path);
    return f;
}

QHostAddress tcpAddress(const Settings& s, bool allowRemote) {
    QHostAddress address;
    if (s.tcp.host == "localhost") {
        address = QHostAddress(QHostAddress::LocalHost);
    } else if (!address.setAddress(QString::fromStdString(s.tcp.host))) {
        fail("--tcp wants a numeric address or localhost");
    }
    if (!address.isLoopback() && !allowRemote) {
        fail("refusing to listen on a non-loopback address without --allow-remote");
    }
    return address;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("velor-modsim");
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(app);
    const Settings settings = readSettings(parser);
    Bus bus;
    buildBus(parser, bus);
    if (settings.negative)
        bus.forceNegative(settings.negative->functionCode, settings.negative->address);

    EventLog log;
    std::FILE* frameFile = settings.logPath.isEmpty() ? stderr : openLog(settings.logPath);
    std::FILE* eventFile = settings.eventsPath.isEmpty() ? nullptr : openLog(settings.eventsPath);
    log.setFrameSink(frameFile);
    log.setEventSink(eventFile);
    quitOnStopRequest(app);

    SimServer server(bus, settings.faults, log);
    server.setLines(lineSettings(parser, bus));
    QString error;
    if (!parser.isSet("no-tcp")) {
        const QHostAddress address = tcpAddress(settings, parser.isSet("allow-remote"));
        if (!server.listenTcp(address, static_cast<quint16>(settings.tcp.port), error)) {
            fail("cannot listen: " + error);
        }
        std::printf("listening tcp %s:%u\n", qPrintable(address.toString()), server.tcpPort());
    }
    if (!settings.ptyLink.isEmpty()) {
        if (!server.openPty(settings.ptyLink, error)) fail("cannot open the pty: " + error);
        std::printf("listening pty %s\n", qPrintable(server.ptyDevice()));
    }
    std::fflush(stdout);
    for (const auto& [address, module] : bus.modules()) {
        log.note("bus", "module " + std::string(moduleTypeName(module.type())) + " at " +
                            std::to_string(address));
    }
    const int rc = QCoreApplication::exec();
    server.shutdown();
    log.note("bus", "stopped");
    if (eventFile != nullptr) std::fclose(eventFile);
    if (frameFile != stderr) std::fclose(frameFile);
    return rc;
}
