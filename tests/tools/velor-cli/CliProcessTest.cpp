// velor-cli as a user runs it: the real executable against velor-modsim over loopback TCP and
// over a pseudo-terminal, in a working directory of its own (its COMn entries lead to the
// simulator's pseudo-terminal, never to a real port).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include "config/ConfigFields.h"
#include "modules/WriteLog.h"
#include "support/ModsimProcess.h"
#include "support/PdfText.h"
#include "support/ProgramSend.h"
#include "support/QtAppEnvironment.h"

using velor::modsim::test::Simulator;

namespace velor {
namespace {

struct CliRun {
    int code = -1;
    QString out;
    QString err;
};

CliRun cli(const QStringList& args, const QString& dir, int ms = 30000) {
    QProcess p;
    p.setWorkingDirectory(dir);
    // Text: the console's line ends (CR LF on Windows) read as "\n".
    p.start(QStringLiteral(VELOR_CLI_EXE), args, QIODevice::ReadWrite | QIODevice::Text);
    CliRun r;
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished(5000);
        r.err = "did not end";
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// velor-cli running in the background, for a test that interrupts it or closes its output.
class RunningCli {
public:
    RunningCli(const QStringList& args, const QString& dir, const QString& outputFile = {}) {
        if (!outputFile.isEmpty()) p.setStandardOutputFile(outputFile);
        p.setWorkingDirectory(dir);
        p.start(QStringLiteral(VELOR_CLI_EXE), args);
        EXPECT_TRUE(p.waitForStarted(5000));
    }
    ~RunningCli() {
        if (p.state() == QProcess::NotRunning) return;
        p.kill();
        p.waitForFinished(5000);
    }
    // Waits until the standard output (or error) holds text.
    bool waitFor(const QString& text, QProcess::ProcessChannel channel = QProcess::StandardOutput,
                 int ms = 10000) {
        p.setReadChannel(channel);
        QString& seen = channel == QProcess::StandardOutput ? out : err;
        QDeadlineTimer deadline(ms);
        while (!seen.contains(text) && !deadline.hasExpired()) {
            p.waitForReadyRead(50);
            collect();
            if (p.state() == QProcess::NotRunning) break;
        }
        return seen.contains(text);
    }
    void signal(int number) { ::kill(static_cast<pid_t>(p.processId()), number); }
    // The exit code once it ended (-1 when it did not within ms or died of a signal).
    int finish(int ms = 2000) {
        const bool ended = p.waitForFinished(ms);
        collect();
        return ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    void collect() {
        if (p.isReadable() && p.openMode() != QIODevice::NotOpen) {
            out += QString::fromUtf8(p.readAllStandardOutput());
            err += QString::fromUtf8(p.readAllStandardError());
        }
    }

    QProcess p;
    QString out;
    QString err;
};

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class CliProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        events = dir.filePath("events.jsonl");
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList tcp() const { return {"--tcp", QString("127.0.0.1:%1").arg(sim->port())}; }
    void startTcp(const QStringList& faults = {}) {
        sim = std::make_unique<Simulator>(QStringList{"--tcp", "127.0.0.1:0", "--events", events} +
                                          faults);
        ASSERT_NE(sim->port(), 0);
    }
    int eventCount(const char* fragment) const {
        return modsim::test::countEvents(events, {fragment});
    }
    // Waits until the simulator's event log holds count lines with fragment.
    bool waitForEvents(const char* fragment, int count) const {
        QDeadlineTimer deadline(3000);
        while (eventCount(fragment) < count && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return eventCount(fragment) == count;
    }

    QTemporaryDir dir;
    QString events;
    std::unique_ptr<Simulator> sim;
};

TEST_F(CliProcessTest, ScanListsTheModulesAndSaysWhenNoneAnswers) {
    startTcp();
    CliRun r = cli(QStringList{"scan", "--to", "7"} + tcp(), dir.path());
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "address 1\naddress 2\naddress 3\naddress 4\naddress 5\n");

    r = cli(QStringList{"scan", "--from", "10", "--to", "12"} + tcp(), dir.path());
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains("no module answered at 10..12")) << r.err.toStdString();
}

// Modules that answer 300 ms after a request, past the 200 ms time-out: each late answer
// arrives while the next request would be waiting for its own, and must not pass for it.
TEST_F(CliProcessTest, LateAnswersNeverPassForTheNextRequest) {
    startTcp({"--delay", "300"});
    CliRun r = cli(QStringList{"scan", "--to", "3"} + tcp(), dir.path());
    EXPECT_EQ(r.code, 1) << r.out.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    r = cli(QStringList{"read", "tev", "--address", "2", "--count", "2"} + tcp(), dir.path());
    EXPECT_EQ(r.code, 1) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("no answer")) << r.err.toStdString();
}

TEST_F(CliProcessTest, ReadWritesACsvThatASpreadsheetOpens) {
    startTcp();
    ASSERT_EQ(cli({"create", "KonfigA.cfa", "--defaults"}, dir.path()).code, 0);
    CliRun r = cli(QStringList{"read", "kalu", "--address", "1", "--count", "10", "--interval",
                               "20", "--csv", "k.csv", "--config", "KonfigA.cfa"} +
                       tcp(),
                   dir.path());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count("kalu address 1"), 10);

    const QStringList lines = QString::fromUtf8(fileBytes(path("k.csv"))).split("\r\n");
    ASSERT_EQ(lines.size(), 12);  // header, ten rows, the empty rest after the last line end
    EXPECT_TRUE(lines[0].startsWith(QString::fromUtf8("\xEF\xBB\xBFtime;address;IN č.  0;")));
    EXPECT_EQ(lines[0].count(';'), 13);
    const QRegularExpression row(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3};1(;-?\d+,\d){12}$)");
    for (int i = 1; i <= 10; ++i)
        EXPECT_TRUE(row.match(lines[i]).hasMatch()) << lines[i].toStdString();

    r = cli(
        QStringList{"read", "tev", "--address", "2", "--csv", "t.csv", "--decimal", "."} + tcp(),
        dir.path());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count('\n'), 18);  // the heading, the column titles and 16 inputs
    const QStringList tev = QString::fromUtf8(fileBytes(path("t.csv"))).split("\r\n");
    EXPECT_EQ(tev[0].count(';'), 1 + 16 * 5);
    EXPECT_TRUE(tev[0].contains("input 16 period"));
}

using test::pdfText;

TEST_F(CliProcessTest, ReportPollsTheModuleAndWritesASearchablePdf) {
    startTcp();
    ASSERT_EQ(cli({"create", "KonfigA.cfa", "--defaults"}, dir.path()).code, 0);
    CliRun r = cli(QStringList{"report", "--address", "1", "--kind", "kalu", "--config",
                               "KonfigA.cfa", "--seconds", "1", "--technician", "Jiří Novák",
                               "--note", "Čidlo vyměněno", "--pdf", "p.pdf"} +
                       tcp(),
                   dir.path());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString text = pdfText(path("p.pdf"));
    for (const char* expected : {"modul KALU na adrese 1", "Jiří Novák", "TCP 127.0.0.1:",
                                 "KonfigA.cfa", "CRC-16 0x", "IN č. 11", "Čidlo vyměněno"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    // Twelve values as the window shows them, and as many requests as answers.
    const QString values =
        text.section(QStringLiteral("Hodnoty"), 1).section(QStringLiteral("Statistika"), 0, 0);
    EXPECT_EQ(values.count(QRegularExpression(QStringLiteral(R"(IN č\. \d+ +-?\d+\.\d)"))), 12)
        << values.toStdString();
    const auto requests = QRegularExpression(QStringLiteral(R"(Požadavky +(\d+))")).match(text);
    const auto answers = QRegularExpression(QStringLiteral(R"(Odpovědi +(\d+))")).match(text);
    ASSERT_TRUE(requests.hasMatch() && answers.hasMatch());
    EXPECT_GT(requests.captured(1).toInt(), 1);
    EXPECT_EQ(requests.captured(1), answers.captured(1));

    // MOKR takes its two requests in turn: the inputs have states and values.
    r = cli(QStringList{"report", "--address", "5", "--kind", "mokr", "--seconds", "1", "--pdf",
                        "m.pdf"} +
                tcp(),
            dir.path());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(pdfText(path("m.pdf"))
                  .count(QRegularExpression(QStringLiteral(R"(\((sepnuto|vypnuto)\))"))),
              8);

    // A module that does not answer: the report says so, and the exit code too.
    r = cli(QStringList{"report", "--address", "9", "--kind", "tew", "--seconds", "1", "--pdf",
                        "n.pdf"} +
                tcp(),
            dir.path());
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(pdfText(path("n.pdf")).contains(QStringLiteral("Modul zatím neodpověděl")));
    // Usage faults never touch the bus.
    EXPECT_EQ(
        cli(QStringList{"report", "--address", "1", "--kind", "zepa", "--pdf", "x.pdf"} + tcp(),
            dir.path())
            .code,
        2);
    EXPECT_EQ(
        cli(QStringList{"report", "--kind", "kalu", "--pdf", "x.pdf"} + tcp(), dir.path()).code, 2);
}

TEST_F(CliProcessTest, WriteSetsOutputsAndReadsThemBack) {
    startTcp();
    CliRun r =
        cli(QStringList{"write", "tew", "--address", "3", "--outputs", "0x5"} + tcp(), dir.path());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("outputs 1..12: 1 0 1 0 0 0 0 0 0 0 0 0")) << r.out.toStdString();

    r = cli(QStringList{"write", "tevw", "--address", "4", "--outputs", "3"} + tcp(), dir.path());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("outputs 1..8: 1 1 0 0 0 0 0 0")) << r.out.toStdString();

    EXPECT_EQ(
        cli(QStringList{"write", "kalu", "--address", "1", "--outputs", "1,2,3,4,5,-1"} + tcp(),
            dir.path())
            .code,
        0);
    EXPECT_EQ(cli(QStringList{"write", "mokr", "--address", "5", "--board", "2", "--outputs", "7"} +
                      tcp(),
                  dir.path())
                  .code,
              0);
    EXPECT_GE(eventCount("\"event\":\"write\""), 4);

    // Usage faults and a module that is not there.
    EXPECT_EQ(
        cli(QStringList{"write", "kalu", "--address", "1", "--outputs", "1,2"} + tcp(), dir.path())
            .code,
        2);
    EXPECT_EQ(
        cli(QStringList{"write", "mokr", "--address", "5", "--outputs", "1"} + tcp(), dir.path())
            .code,
        2);
    r = cli(QStringList{"write", "tew", "--address", "9", "--outputs", "1"} + tcp(), dir.path());
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("tew address 9: no answer")) << r.err.toStdString();

    // Every write that went out is a line of the write log, the failed one with its reason;
    // the usage faults wrote nothing.
    const QStringList log =
        QString::fromUtf8(fileBytes(path("zapisy.log"))).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(log.size(), 5) << log.join('\n').toStdString();
    const QString port = QStringLiteral(" | TCP 127.0.0.1:%1 | ").arg(sim->port());
    EXPECT_TRUE(log[0].contains(port + "adresa 3 TEW | výstupy ? -> 0x0005 | přijato"));
    EXPECT_TRUE(log[1].contains("adresa 4 TEVW | výstupy ? -> 0x0003 | přijato"));
    EXPECT_TRUE(log[2].contains("adresa 1 KALU | výstupy ? -> 1, 2, 3, 4, 5, 255 | přijato"));
    EXPECT_TRUE(log[3].contains("adresa 5 MOKR | výstupy ? -> P0..P7 00 00 07 00 00 00 00 00"));
    EXPECT_TRUE(log[4].contains("adresa 9 TEW | výstupy ? -> 0x0001 | chyba: Chyba přenosu"));
}

// The records of a capture file as "tx HEX" / "rx HEX" lines, checking the file header and each
// record's serial header on the way; a line "bad ..." says where the file is wrong.
QStringList captureRecords(const QByteArray& file) {
    const auto u8 = [&](qsizetype at) { return static_cast<std::uint8_t>(file[at]); };
    const auto le32 = [&](qsizetype at) {
        return u8(at) | u8(at + 1) << 8 | u8(at + 2) << 16 | std::uint32_t{u8(at + 3)} << 24;
    };
    const auto be32 = [&](qsizetype at) {
        return std::uint32_t{u8(at)} << 24 | u8(at + 1) << 16 | u8(at + 2) << 8 | u8(at + 3);
    };
    if (file.size() < 24 || le32(0) != 0xA1B2C3D4 || le32(20) != 250) return {"bad header"};
    QStringList records;
    for (qsizetype at = 24; at < file.size();) {
        if (at + 16 + 12 > file.size()) return records << "bad record header";
        const std::uint32_t length = le32(at + 8);
        if (length < 12 || le32(at + 12) != length || at + 16 + length > file.size())
            return records << "bad record length";
        // The serial header repeats the record's time stamp, big-endian.
        if (be32(at + 16) != le32(at) || be32(at + 20) != le32(at + 4))
            return records << "bad serial time";
        const std::uint8_t event = u8(at + 24);
        if (event != 1 && event != 2) return records << "bad event type";
        records << QString(event == 1 ? "tx " : "rx ") +
                       QString::fromLatin1(file.mid(at + 28, length - 12).toHex().toUpper());
        at += 16 + length;
    }
    return records;
}

// The frames of --verbose as "tx HEX" / "rx HEX" lines, without blanks.
QStringList verboseFrames(const QString& err) {
    QStringList frames;
    for (const QString& line : err.split('\n'))
        if (line.startsWith("tx ") || line.startsWith("rx "))
            frames << QString(line).remove(' ').insert(2, ' ');
    return frames;
}

TEST_F(CliProcessTest, PcapRecordsTheFramesOfTheSession) {
    startTcp();
    CliRun r = cli(QStringList{"scan", "--to", "7", "--verbose", "--pcap", "scan.pcap"} + tcp(),
                   dir.path());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList frames = verboseFrames(r.err);
    ASSERT_EQ(frames.size(), 8 + 5);  // a probe per address, an E5 from each of the five modules
    EXPECT_EQ(captureRecords(fileBytes(path("scan.pcap"))), frames);

    if (!QFile::exists("/usr/bin/tshark")) return;
    QProcess tshark;
    tshark.start("/usr/bin/tshark", {"-r", path("scan.pcap"), "-T", "fields", "-e",
                                     "rtacser.eventtype", "-e", "data.data"});
    ASSERT_TRUE(tshark.waitForFinished(60'000));
    QStringList decoded;
    for (const QString& line :
         QString::fromUtf8(tshark.readAllStandardOutput()).trimmed().split('\n')) {
        const QStringList fields = line.split('\t');
        ASSERT_EQ(fields.size(), 2) << line.toStdString();
        decoded << QString(fields[0] == "0x01" ? "tx " : "rx ") + fields[1].toUpper();
    }
    EXPECT_EQ(decoded, frames);
}

TEST_F(CliProcessTest, PcapThatCannotBeWrittenStopsTheCommandBeforeTheBus) {
    startTcp();
    QDir(dir.path()).mkdir("taken.pcap");
    const CliRun r =
        cli(QStringList{"scan", "--to", "1", "--pcap", "taken.pcap"} + tcp(), dir.path());
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("--pcap taken.pcap: ")) << r.err.toStdString();
    EXPECT_EQ(eventCount("\"event\":\"connect\""), 0);
}

// The capture goes to the file during the run: a file that cannot grow (here: a file size
// limit) ends a long read early, and a short scan whose last records do not fit, with exit 2.
TEST_F(CliProcessTest, ACaptureThatCannotBeWrittenIsExitTwo) {
    startTcp();
    for (const auto& [args, limit] : {std::pair{QStringList{"read", "kalu", "--address", "1",
                                                            "--count", "100000", "--interval", "0"},
                                                rlim_t{4096}},
                                      {QStringList{"scan", "--to", "7"}, rlim_t{100}}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.setChildProcessModifier([limit = limit] {
            ::signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails instead
            const rlimit l{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &l);
        });
        p.start(QStringLiteral(VELOR_CLI_EXE), args + tcp() + QStringList{"--pcap", "c.pcap"});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 2);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(err.contains("--pcap c.pcap: ")) << err.toStdString();
        // The long read stopped at the failure, far from its count.
        EXPECT_LT(QString::fromUtf8(p.readAllStandardOutput()).count('\n'), 5000);
    }
}

// The frames of --verbose, without blanks.
QStringList sentFrames(const QString& err) {
    QStringList frames;
    for (const QString& line : err.split('\n'))
        if (line.startsWith("tx ")) frames << line.mid(3).remove(' ');
    return frames;
}

TEST_F(CliProcessTest, SendSendsExactlyWhatTheProgramSends) {
    startTcp();
    ASSERT_EQ(cli({"create", "KonfigA.cfa", "--defaults"}, dir.path()).code, 0);
    ASSERT_EQ(cli({"create", "KonfigB.cfb", "--defaults"}, dir.path()).code, 0);
    struct Case {
        QString file;
        QString target;
        int address;
        ConfigTarget kind;
        int blocks;
    };
    const Case cases[] = {{"KonfigA.cfa", "", 1, ConfigTarget::Kalu, 2},
                          {"KonfigB.cfb", "tev", 2, ConfigTarget::BinaryInputs, 1},
                          {"KonfigB.cfb", "tew", 3, ConfigTarget::BinaryOutputs, 1},
                          {"KonfigB.cfb", "mokr", 5, ConfigTarget::Mokr, 1}};
    for (const Case& c : cases) {
        QStringList args{"send",         c.file, "--address", QString::number(c.address),
                         "--baud-after", "1",    "--verbose"};
        if (!c.target.isEmpty()) args << "--target" << c.target;
        const CliRun r = cli(args + tcp(), dir.path());
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.count(": accepted"), c.blocks) << r.out.toStdString();

        ConfigFileData file;
        std::string problem;
        ASSERT_TRUE(
            readConfigFile(path(c.file), *configFileKindOf(c.file.toStdString()), file, problem));
        file.config.AnalogConfig.ModuleAddress = file.config.BinaryConfig.ModuleAddress = c.address;
        const auto program =
            test::ProgramSend(file.config, c.kind, 1, std::vector<bool>(c.blocks, true));
        QStringList expected;
        for (int i = 0; i < c.blocks; ++i)
            expected << QString::fromStdString(
                modsim::toHex(modsim::buildVariableFrame(program[i])));
        EXPECT_EQ(sentFrames(r.err), expected)
            << c.file.toStdString() << " " << c.target.toStdString();
        // The log names the file and the checksum of the blocks as they went out.
        std::vector<std::uint8_t> blocks;
        for (int i = 0; i < c.blocks; ++i)
            blocks.insert(blocks.end(), program[i].begin(), program[i].end());
        const QString line =
            QString::fromUtf8(fileBytes(path("zapisy.log"))).split('\n', Qt::SkipEmptyParts).last();
        EXPECT_TRUE(line.contains(QStringLiteral("| adresa %1 ").arg(c.address)))
            << line.toStdString();
        EXPECT_TRUE(line.contains(QStringLiteral("| konfigurace %1, bloky %2 B, %3 | přijato")
                                      .arg(c.file)
                                      .arg(blocks.size())
                                      .arg(QString::fromStdString(blockChecksumText(blocks)))))
            << line.toStdString();
    }
    EXPECT_EQ(eventCount("\"event\":\"block\""), 5);
    // The KALU block carries the baud code of index 1 (9600 Bd) and the tag.
    EXPECT_EQ(modsim::test::countEvents(events,
                                        {"\"block\"", "\"addr\":1", "\"hex\":\"1409881373617665"}),
              1);
}

TEST_F(CliProcessTest, AFailedKaluBlockStartsTheSendAgainWithTheFirstHalf) {
    sim = std::make_unique<Simulator>(QStringList{"--tcp", "127.0.0.1:0", "--negative", "9@1"});
    ASSERT_NE(sim->port(), 0);
    ASSERT_EQ(cli({"create", "KonfigA.cfa", "--defaults"}, dir.path()).code, 0);
    const CliRun r = cli(
        QStringList{"send", "KonfigA.cfa", "--address", "1", "--retries", "2"} + tcp(), dir.path());
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out.count("Konfigurace  KALU.1: negative reply FC 9"), 3) << r.out.toStdString();
    EXPECT_EQ(r.out.count("KALU.2"), 0);
    // The failed send is one line of the write log, with the module's reason.
    const QStringList log =
        QString::fromUtf8(fileBytes(path("zapisy.log"))).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].contains(
        "adresa 1 KALU | konfigurace KonfigA.cfa | chyba: FC=9 Blok/Data nedostupná"))
        << log[0].toStdString();
}

TEST_F(CliProcessTest, EveryBusCommandRunsOverAPseudoTerminal) {
    // COM1 of the working directory leads to the simulator's pseudo-terminal.
    sim = std::make_unique<Simulator>(QStringList{"--no-tcp", "--pty", path("COM1")});
    ASSERT_FALSE(sim->ptyDevice().isEmpty());
    CliRun r = cli({"scan", "--serial", "COM1", "--to", "3"}, dir.path());
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "address 1\naddress 2\naddress 3\n");

    r = cli({"read", "tevw", "--address", "4", "--serial", sim->ptyDevice(), "--baud", "9600"},
            dir.path());
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("outputs 1..8:"));

    // No link option: channel 1 of COM.CFG, here COM1.
    ASSERT_EQ(cli({"comcfg", "COM.CFG", "--serial", "1", "--no-parity"}, dir.path()).code, 0);
    r = cli({"read", "mokr", "--address", "5", "--board", "3"}, dir.path());
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("mokr address 5"));
    EXPECT_EQ(cli({"write", "tew", "--address", "3", "--outputs", "1"}, dir.path()).code, 0);
    ASSERT_EQ(cli({"create", "KonfigA.cfa", "--defaults"}, dir.path()).code, 0);
    r = cli({"send", "KonfigA.cfa", "--address", "1"}, dir.path());
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Konfigurace  KALU.2: accepted"));
}

TEST_F(CliProcessTest, PortsAndLinksThatCannotBeOpenedAreNamed) {
    // A port nobody listens on.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const quint16 closed = server.serverPort();
    server.close();
    CliRun r = cli({"scan", "--tcp", QString("127.0.0.1:%1").arg(closed)}, dir.path());
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QString("127.0.0.1:%1: no connection").arg(closed)))
        << r.err.toStdString();

    r = cli({"scan", "--serial", path("nothing").toUtf8().constData()}, dir.path());
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("nothing: cannot open: no such device")) << r.err.toStdString();

    r = cli({"scan"}, dir.path());  // no COM.CFG here
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("COM.CFG: ")) << r.err.toStdString();

    EXPECT_EQ(cli({"scan", "--tcp", "127.0.0.1", "--serial", "COM1"}, dir.path()).code, 2);
    EXPECT_EQ(cli({"read", "kalu", "--tcp", "127.0.0.1"}, dir.path()).code, 2);  // no address
    EXPECT_EQ(cli({"read", "xyz", "--address", "1", "--tcp", "127.0.0.1"}, dir.path()).code, 2);
    EXPECT_EQ(cli({"scan", "--bogus"}, dir.path()).code, 2);
    EXPECT_EQ(cli({"frobnicate"}, dir.path()).code, 2);
    r = cli({"scan", "--pcap", "x.pcap", "--tcp", "127.0.0.1"}, dir.path());
    EXPECT_EQ(r.code, 2);

    // ports: the directory's COM3 leads to a pseudo-terminal; nothing is opened.
    sim = std::make_unique<Simulator>(QStringList{"--no-tcp", "--pty", path("COM3")});
    ASSERT_FALSE(sim->ptyDevice().isEmpty());
    r = cli({"ports"}, dir.path());
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("COM3  ./COM3 (entry in this directory) -> " + sim->ptyDevice() +
                               "  accessible"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("COM1  /dev/ttyS0 (default)"));
    EXPECT_TRUE(r.out.contains("Serial devices of this system:"));
}

TEST_F(CliProcessTest, ShowCreateAndDiffKeepFilesAsTheyAre) {
    for (const QString name : {"KonfigA.cfa", "KonfigB.cfb", "COM.CFG"}) {
        ASSERT_EQ(cli({"create", name, "--defaults"}, dir.path()).code, 0);
        CliRun r = cli({"show", name, "--json"}, dir.path());
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        writeFile(path(name + ".json"), r.out.toUtf8());
        ASSERT_EQ(cli({"create", "copy-" + name, "--from", name + ".json"}, dir.path()).code, 0);
        EXPECT_EQ(fileBytes(path("copy-" + name)), fileBytes(path(name))) << name.toStdString();
        EXPECT_EQ(cli({"diff", name, "copy-" + name}, dir.path()).code, 0);
    }
    // One field changed: diff names it and says so with exit 1.
    QString json = QString::fromUtf8(fileBytes(path("KonfigB.cfb.json")));
    json.replace("\"BinaryConfig.Inputs[5].Name\": \"IN č.  5\"",
                 "\"BinaryConfig.Inputs[5].Name\": \"Dveře rozvaděče\"");
    writeFile(path("changed.json"), json.toUtf8());
    ASSERT_EQ(cli({"create", "changed.cfb", "--from", "changed.json"}, dir.path()).code, 0);
    CliRun r = cli({"diff", "KonfigB.cfb", "changed.cfb"}, dir.path());
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, QString::fromUtf8(
                         "BinaryConfig.Inputs[5].Name: \"IN č.  5\" -> \"Dveře rozvaděče\"\n"));
    r = cli({"show", "changed.cfb"}, dir.path());
    EXPECT_TRUE(
        r.out.contains(QString::fromUtf8("BinaryConfig.Inputs[5].Name = \"Dveře rozvaděče\"")));
    EXPECT_EQ(cli({"diff", "KonfigA.cfa", "KonfigB.cfb"}, dir.path()).code, 2);

    // A value out of range is refused by name and nothing is written.
    json.replace("\"BinaryConfig.Inputs[7].FilterL\": 1", "\"BinaryConfig.Inputs[7].FilterL\": 0");
    writeFile(path("bad.json"), json.toUtf8());
    r = cli({"create", "bad.cfb", "--from", "bad.json"}, dir.path());
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("BinaryConfig.Inputs[7].FilterL: 0 is out of range 1..255"));
    EXPECT_FALSE(QFile::exists(path("bad.cfb")));

    // A damaged (short) file is a wrong file; show and diff leave it as it is.
    const QByteArray damaged = fileBytes(path("KonfigA.cfa")).left(1000);
    writeFile(path("damaged.cfa"), damaged);
    r = cli({"show", "damaged.cfa"}, dir.path());
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("damaged.cfa: wrong file (1000 bytes, a .cfa file has 1292)"));
    EXPECT_EQ(cli({"diff", "damaged.cfa", "KonfigA.cfa"}, dir.path()).code, 2);
    EXPECT_EQ(fileBytes(path("damaged.cfa")), damaged);
    EXPECT_EQ(cli({"show", "missing.cfa"}, dir.path()).code, 2);
}

// Ctrl+C, SIGTERM and SIGHUP each end a long read at once with the shell's code for the signal;
// the port is closed and the capture written on the way out.
TEST_F(CliProcessTest, EverySignalEndsALongReadWithItsCodeAndTheCapture) {
    startTcp();
    int runs = 0;
    for (const auto& [number, code] : {std::pair{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}}) {
        SCOPED_TRACE(code);
        const QString pcap = QString("k%1.pcap").arg(code);
        RunningCli run(
            QStringList{"read", "kalu", "--address", "1", "--count", "1000", "--pcap", pcap} +
                tcp(),
            dir.path());
        ASSERT_TRUE(run.waitFor("kalu address 1"));
        run.signal(number);
        EXPECT_EQ(run.finish(), code) << run.err.toStdString();
        ++runs;
        const int printed = static_cast<int>(run.out.count("kalu address 1"));
        EXPECT_LT(printed, 100);
        // A request and its answer per value printed.
        const QStringList records = captureRecords(fileBytes(path(pcap)));
        EXPECT_GE(records.size(), 2 * printed);
        EXPECT_TRUE(records.filter("bad").isEmpty()) << records.join('\n').toStdString();
        EXPECT_TRUE(waitForEvents("\"event\":\"disconnect\"", runs));
    }
}

// scan and send wait for an answer, find for a probe that only the event loop can finish: an
// interrupt ends each of them at once, and the port is free again afterwards.
TEST_F(CliProcessTest, SignalsEndScanFindAndSendWhileTheyWait) {
    startTcp();
    // Address 0 is silent: the scan waits out its long time-out there.
    RunningCli scan(QStringList{"scan", "--timeout", "5000", "--verbose"} + tcp(), dir.path());
    ASSERT_TRUE(scan.waitFor("tx ", QProcess::StandardError));
    scan.signal(SIGTERM);
    EXPECT_EQ(scan.finish(), 143) << scan.err.toStdString();
    EXPECT_TRUE(waitForEvents("\"event\":\"disconnect\"", 1));

    ASSERT_EQ(cli({"create", "KonfigA.cfa", "--defaults"}, dir.path()).code, 0);
    RunningCli send(
        QStringList{"send", "KonfigA.cfa", "--address", "9", "--timeout", "5000", "--verbose"} +
            tcp(),
        dir.path());
    ASSERT_TRUE(send.waitFor("tx ", QProcess::StandardError));
    send.signal(SIGHUP);
    EXPECT_EQ(send.finish(), 129) << send.err.toStdString();
    EXPECT_TRUE(send.err.contains("the module accepted no block")) << send.err.toStdString();
    EXPECT_TRUE(waitForEvents("\"event\":\"disconnect\"", 2));

    sim = std::make_unique<Simulator>(QStringList{"--no-tcp", "--pty", path("COM1")});
    ASSERT_FALSE(sim->ptyDevice().isEmpty());
    RunningCli find({"find", "--serial", "COM1", "--timeout", "200"}, dir.path());
    ASSERT_TRUE(find.waitFor("address 1 baud 4800"));
    find.signal(SIGINT);
    EXPECT_EQ(find.finish(), 130) << find.err.toStdString();
    // The port was let go: it opens again at once.
    const CliRun again = cli({"scan", "--serial", "COM1", "--to", "1"}, dir.path());
    EXPECT_EQ(again.code, 0) << again.err.toStdString();
}

// The module accepts the first half of a KALU configuration and then falls silent: an
// interrupted send says which blocks the module holds.
TEST_F(CliProcessTest, AnInterruptedSendSaysWhichBlocksTheModuleAccepted) {
    QTcpServer module;
    ASSERT_TRUE(module.listen(QHostAddress::LocalHost));
    ASSERT_EQ(cli({"create", "KonfigA.cfa", "--defaults"}, dir.path()).code, 0);
    RunningCli send({"send", "KonfigA.cfa", "--address", "1", "--timeout", "5000", "--tcp",
                     QString("127.0.0.1:%1").arg(module.serverPort())},
                    dir.path());
    ASSERT_TRUE(module.waitForNewConnection(5000));
    QTcpSocket* peer = module.nextPendingConnection();
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(peer->waitForReadyRead(5000));
    peer->readAll();
    peer->write(QByteArray(1, '\xE5'));
    ASSERT_TRUE(peer->waitForBytesWritten(1000));
    ASSERT_TRUE(send.waitFor("KALU.1: accepted"));
    ASSERT_TRUE(peer->waitForReadyRead(5000));  // the second block, left unanswered
    send.signal(SIGINT);
    EXPECT_EQ(send.finish(), 130);
    EXPECT_TRUE(send.err.contains("the module accepted Konfigurace  KALU.1\n"))
        << send.err.toStdString();
}

// `velor-cli ARGS | head -1`: the output goes into a pipe whose reader ends after the first line
// that holds mark. The exit code, -1 when it did not end.
CliRun headOne(const QStringList& args, const QString& dir, const QString& mark) {
    const QString fifo = QDir(dir).filePath("head.fifo");
    QFile::remove(fifo);
    EXPECT_EQ(::mkfifo(fifo.toUtf8().constData(), 0600), 0);
    // Opened before the writer, without waiting for it, and not inherited by velor-cli.
    const int reader = ::open(fifo.toUtf8().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(reader, 0);
    RunningCli run(args, dir, fifo);
    QByteArray seen;
    QDeadlineTimer deadline(10000);
    while (!seen.contains(mark.toUtf8()) && !deadline.hasExpired()) {
        char chunk[256];
        const ssize_t n = ::read(reader, chunk, sizeof chunk);
        if (n > 0) seen.append(chunk, n);
        if (n <= 0) run.p.waitForFinished(5);
    }
    ::close(reader);
    CliRun r;
    r.code = run.finish();
    r.out = QString::fromUtf8(seen);
    r.err = run.err;
    return r;
}

// A reader that goes away ends the command at its next line, quietly and with the port closed;
// over a pseudo-terminal the port is free again afterwards.
TEST_F(CliProcessTest, AClosedOutputEndsTheCommandQuietly) {
    startTcp();
    for (const QStringList& args :
         {QStringList{"read", "kalu", "--address", "1", "--count", "1000000", "--interval", "1"},
          QStringList{"scan"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliRun r = headOne(args + tcp(), dir.path(), "address 1");
        EXPECT_EQ(r.code, 141);
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    }
    EXPECT_TRUE(waitForEvents("\"event\":\"disconnect\"", 2));
    EXPECT_LT(eventCount("\"event\":\"probe\""), 8);  // the scan stopped near its first line

    sim = std::make_unique<Simulator>(QStringList{"--no-tcp", "--pty", path("COM1")});
    ASSERT_FALSE(sim->ptyDevice().isEmpty());
    const CliRun r =
        headOne({"read", "tev", "--address", "2", "--count", "1000000", "--serial", "COM1"},
                dir.path(), "tev address 2");
    EXPECT_EQ(r.code, 141);
    EXPECT_EQ(cli({"scan", "--serial", "COM1", "--to", "2"}, dir.path()).code, 0);
}

// Output that could not be written is a failure, never a success.
TEST_F(CliProcessTest, OutputThatCannotBeWrittenIsExitTwo) {
    if (!QFile::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    startTcp();
    ASSERT_EQ(cli({"create", "KonfigA.cfa", "--defaults"}, dir.path()).code, 0);
    for (const QStringList& args :
         {QStringList{"show", "KonfigA.cfa", "--json"}, QStringList{"scan", "--to", "2"} + tcp(),
          QStringList{"help"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.setStandardOutputFile("/dev/full");
        p.start(QStringLiteral(VELOR_CLI_EXE), args);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 2);
        EXPECT_TRUE(p.readAllStandardError().contains("cannot write the output: "));
    }
}

TEST_F(CliProcessTest, EveryCommandHasHelpWithAnExample) {
    for (const QString cmd : {"scan", "read", "write", "send", "show", "create", "diff", "ports",
                              "comcfg", "find", "demo"}) {
        CliRun r = cli({"help", cmd}, dir.path());
        EXPECT_EQ(r.code, 0) << cmd.toStdString();
        EXPECT_TRUE(r.out.contains("Example: velor-cli " + cmd)) << cmd.toStdString();
        EXPECT_EQ(cli({cmd, "--help"}, dir.path()).out, r.out);
    }
    EXPECT_TRUE(cli({"help", "read"}, dir.path()).out.contains("read sends the\noutputs as 0"));
    EXPECT_EQ(cli({"--help"}, dir.path()).code, 0);
    EXPECT_TRUE(cli({"help"}, dir.path()).out.contains("  demo     "));
    EXPECT_EQ(cli({"help", "nothing"}, dir.path()).code, 2);
}

// Every command that writes a file writes a regular file or a new name only: a pipe or a device
// at the path is refused by name and left as it is.
TEST_F(CliProcessTest, NoCommandWritesOverADeviceOrAPipe) {
    startTcp();
    ASSERT_EQ(cli({"create", "KonfigA.cfa", "--defaults"}, dir.path()).code, 0);
    writeFile(path("ka.json"), cli({"show", "KonfigA.cfa", "--json"}, dir.path()).out.toUtf8());
    QStringList targets{"fifo.cfa"};
    ASSERT_EQ(::mkfifo(path("fifo.cfa").toUtf8().constData(), 0600), 0);
    // A device node of our own (the null device's numbers), where we may make one.
    if (::mknod(path("node.cfa").toUtf8().constData(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        targets << "node.cfa";
    for (const QString& target : targets) {
        SCOPED_TRACE(target.toStdString());
        const QStringList commands[] = {
            {"create", target, "--from", "ka.json"},
            {"create", target, "--defaults"},
            QStringList{"read", "kalu", "--address", "1", "--csv", target} + tcp(),
            QStringList{"scan", "--to", "1", "--pcap", target} + tcp(),
            {"comcfg", target, "--tcp", "127.0.0.1"},
        };
        for (const QStringList& args : commands) {
            const CliRun r = cli(args, dir.path(), 10000);
            EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
            EXPECT_TRUE(r.err.contains(target + ": ")) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains("not a regular file")) << r.err.toStdString();
        }
        struct stat st {};
        ASSERT_EQ(::lstat(path(target).toUtf8().constData(), &st), 0);
        EXPECT_FALSE(S_ISREG(st.st_mode));
    }
    EXPECT_EQ(eventCount("\"event\":\"connect\""), 0);
}

// create --from reads a bounded regular file: an endless device, a huge file and numbers no
// field can hold are refused with exit 2, and nothing is written.
TEST_F(CliProcessTest, CreateRefusesInputThatIsNoConfiguration) {
    writeFile(path("huge.json"), QByteArray(2 * 1024 * 1024, ' '));
    ASSERT_EQ(cli({"create", "KonfigA.cfa", "--defaults"}, dir.path()).code, 0);
    QString json = cli({"show", "KonfigA.cfa", "--json"}, dir.path()).out;
    json.replace("\"AnalogConfig.ModuleAddress\": 0", "\"AnalogConfig.ModuleAddress\": 1e30");
    writeFile(path("big.json"), json.toUtf8());
    const std::pair<QString, QString> cases[] = {
        {"/dev/zero", "/dev/zero: not a regular file"},
        {"huge.json", "huge.json: larger than any configuration"},
        {"big.json", "AnalogConfig.ModuleAddress: 1e+30 is out of range 0..31"},
    };
    for (const auto& [from, message] : cases) {
        const CliRun r = cli({"create", "new.cfa", "--from", from}, dir.path(), 10000);
        EXPECT_EQ(r.code, 2) << from.toStdString();
        EXPECT_TRUE(r.err.contains(message)) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(path("new.cfa")));
}

// Usage faults are exit 2 before any port, host or file is touched.
TEST_F(CliProcessTest, UsageFaultsAreRefusedBeforeAnythingIsTouched) {
    startTcp();
    const QStringList bad[] = {
        {"scan", "--pcap", "--verbose"},     // a flag is no file name
        {"scan", "--to", "5", "--to", "6"},  // given twice
        {"scan", "--verbose", "--verbose"},
        {"scan", "--from", "40"},
        {"scan", "--from", "5", "--to", "2"},
        {"read", "kalu", "--address", "32"},
        {"write", "tew", "--address", "255", "--outputs", "1"},
        {"read", "kalu", "--address", "1", "--csv", "."},  // the file before the link
        {"read", "kalu", "--address", "1", "--csv", "missing/k.csv"},
    };
    for (const QStringList& args : bad) {
        const CliRun r = cli(args + tcp(), dir.path());
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(path("--verbose")));
    EXPECT_EQ(eventCount("\"event\":\"connect\""), 0);

    // COM0 is never a port, not even where the directory holds an entry of that name.
    sim = std::make_unique<Simulator>(QStringList{"--no-tcp", "--pty", path("COM0")});
    ASSERT_FALSE(sim->ptyDevice().isEmpty());
    for (const QString cmd : {"scan", "find"}) {
        const CliRun r = cli({cmd, "--serial", "COM0"}, dir.path());
        EXPECT_EQ(r.code, 2) << cmd.toStdString();
        EXPECT_TRUE(r.err.contains("--serial COM0: not a port")) << r.err.toStdString();
    }

    // comcfg: a file that cannot be written and one that is not there are exit 2 as well.
    EXPECT_EQ(cli({"comcfg", "missing/COM.CFG", "--tcp", "127.0.0.1"}, dir.path()).code, 2);
    EXPECT_EQ(cli({"comcfg", "none.cfg", "--show"}, dir.path()).code, 2);
    EXPECT_EQ(cli({"comcfg", "COM.CFG", "--tcp", "--show"}, dir.path()).code, 2);
    EXPECT_EQ(cli({"comcfg", "COM.CFG", "--tcp", "a", "--tcp", "b"}, dir.path()).code, 2);
    EXPECT_FALSE(QFile::exists(path("COM.CFG")));
}

// Modules at different line settings on one pseudo-terminal: the answers come parity by
// parity, baud rate by baud rate, address by address, each at its module's baud rate only.
TEST_F(CliProcessTest, FindSweepsEveryLineSettingInOrder) {
    sim = std::make_unique<Simulator>(QStringList{"--no-tcp", "--pty", path("COM2"), "--log",
                                                  "/dev/null", "--module", "17:KALU", "--line",
                                                  "19200,even", "--module", "4:TEV", "--line",
                                                  "4800", "--module", "9:TEW", "--line", "57600"});
    ASSERT_FALSE(sim->ptyDevice().isEmpty());
    CliRun r =
        cli({"find", "--serial", "COM2", "--baud", "57600,4800,19200", "--from", "3", "--to", "18"},
            dir.path());
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              "address 9 baud 57600 parity even E5\n"
              "address 4 baud 4800 parity even E5\n"
              "address 17 baud 19200 parity even E5\n"
              "address 9 baud 57600 parity none E5\n"
              "address 4 baud 4800 parity none E5\n"
              "address 17 baud 19200 parity none E5\n");

    r = cli({"find", "--serial", "COM2", "--baud", "9600,38400", "--parity", "none"}, dir.path());
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.isEmpty());

    for (const QStringList& bad : {QStringList{"--baud", "1234"}, QStringList{"--parity", "odd"},
                                   QStringList{"--from", "9", "--to", "3"}, QStringList{}}) {
        const QStringList serial = bad.isEmpty() ? QStringList{} : QStringList{"--serial", "COM2"};
        EXPECT_EQ(cli(QStringList{"find"} + serial + bad, dir.path()).code, 2)
            << bad.join(' ').toStdString();
    }
}

// The simulator ends while find sweeps its pseudo-terminal: the port is gone, and find says so
// with exit 1 instead of reporting the answers it had as a success.
TEST_F(CliProcessTest, FindSaysWhenItsPortIsLost) {
    sim = std::make_unique<Simulator>(QStringList{"--no-tcp", "--pty", path("COM1")});
    ASSERT_FALSE(sim->ptyDevice().isEmpty());
    RunningCli find({"find", "--serial", "COM1", "--timeout", "100"}, dir.path());
    ASSERT_TRUE(find.waitFor("address 1 baud 4800"));
    sim.reset();
    EXPECT_EQ(find.finish(20000), 1) << find.err.toStdString();
    EXPECT_TRUE(find.out.startsWith("address 1 baud 4800 parity even E5\n"));
    EXPECT_TRUE(find.err.contains("the port was lost during the sweep")) << find.err.toStdString();
}

// A device given by its path, the pseudo-terminal itself or a link of another name, is swept
// from a working directory without COMn entries; an address that answers at both parities is
// noted, since the answers then cannot tell the parity.
TEST_F(CliProcessTest, FindSweepsADeviceGivenByItsPath) {
    sim = std::make_unique<Simulator>(QStringList{"--no-tcp", "--pty", path("adapter"), "--log",
                                                  "/dev/null", "--module", "17:KALU", "--line",
                                                  "19200,even"});
    ASSERT_FALSE(sim->ptyDevice().isEmpty());
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    for (const QString& device : {sim->ptyDevice(), path("adapter")}) {
        SCOPED_TRACE(device.toStdString());
        const CliRun r =
            cli({"find", "--serial", device, "--baud", "9600,19200", "--from", "16", "--to", "18"},
                work.path());
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out,
                  "address 17 baud 19200 parity even E5\n"
                  "address 17 baud 19200 parity none E5\n");
        EXPECT_EQ(r.err.count("answered with even parity and with none"), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("address 17 at 19200 Bd")) << r.err.toStdString();
    }
    EXPECT_TRUE(QDir(work.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

    // One parity only: nothing to note.
    const CliRun even = cli({"find", "--serial", sim->ptyDevice(), "--baud", "19200", "--parity",
                             "even", "--from", "17", "--to", "17"},
                            work.path());
    EXPECT_EQ(even.out, "address 17 baud 19200 parity even E5\n");
    EXPECT_FALSE(even.err.contains("parity")) << even.err.toStdString();
}

}  // namespace
}  // namespace velor
