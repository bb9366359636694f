// The program's request builders and transfer engine against the module simulator over
// loopback TCP: the outcome (Status, ReplyCode, data, attempts) of each exchange and fault.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <cstring>

#include "comm/Channel.h"
#include "comm/ChannelTableIo.h"
#include "comm/CommState.h"
#include "comm/TcpTransport.h"
#include "comm/TransferEngine.h"
#include "modules/ModuleSweep.h"
#include "modules/RequestBuilders.h"
#include "support/EngineWiring.h"
#include "support/ModsimProcess.h"
#include "support/QtAppEnvironment.h"

using velor::modsim::test::countEvents;
using velor::modsim::test::Simulator;

namespace {

struct Outcome {
    std::uint8_t status = 0;
    std::uint8_t replyCode = 0;
    std::int32_t length = 0;
    std::vector<std::uint8_t> data;  // Buffer[1..Length] after a data reply, else Buffer[1]
};

// One simulator process and the program's engine connected to it.
class Link {
public:
    explicit Link(QStringList faults) : events_(dir_.filePath("events.jsonl")) {
        faults << "--tcp"
               << "127.0.0.1:0"
               << "--events" << events_ << "--log" << dir_.filePath("frames.log");
        sim_ = std::make_unique<Simulator>(faults);
        tcp_.setPeerPort(sim_->port());
        link_.io.reopenHost = "127.0.0.1";
        tcp_.TcpOpen(1, "127.0.0.1");
        connected_ =
            sim_->port() != 0 && QTest::qWaitFor([this] { return tcp_.TcpState(1).state == 0; });
    }
    ~Link() {
        (void)QTest::qWaitFor([this] { return link_.engine.TransferWindow == nullptr; });
        tcp_.TcpClose(1, "127.0.0.1");
    }
    bool connected() const { return connected_; }
    bool waitConnected() {
        return QTest::qWaitFor([this] { return tcp_.TcpState(1).state == 0; });
    }
    int reopens() const { return link_.io.reopens; }
    const QString& events() const { return events_; }

    Outcome run(velor::RequestKind kind, const std::vector<std::uint8_t>& user) {
        std::vector<std::uint8_t> buffer(velor::kBufferSize);
        std::copy(user.begin(), user.end(), buffer.begin());
        velor::TransferRequest req;
        req.Buffer = buffer;
        req.Length = static_cast<std::int32_t>(user.size());
        req.step(1) = {velor::kOpSendFrame, 0, link_.engine.ReplyTimeout};
        req.step(2) = {velor::kOpReceiveFrame, 0, link_.engine.ReplyTimeout};
        req.step(3) = {velor::kOpEnd, 0, 0};
        link_.engine.RequestKind = kind;
        velor::QueueRequest(link_.engine, req);
        const bool finished = QTest::qWaitFor([&] {
            return req.Status != velor::kStatusRunning && req.Status != velor::kStatusQueued &&
                   link_.engine.TransferWindow == nullptr;
        });
        EXPECT_TRUE(finished);
        Outcome out{req.Status, req.ReplyCode, req.Length, {}};
        const auto n = static_cast<std::size_t>(std::max(1, std::min(req.Length, 255)));
        out.data.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
        return out;
    }

private:
    QTemporaryDir dir_;
    QString events_;
    std::unique_ptr<Simulator> sim_;
    velor::TForm_TCP tcp_{1};
    velor::test::TcpEngine link_{tcp_};
    bool connected_ = false;
};

velor::MonitorSource source(velor::RequestKind kind) {
    velor::MonitorSource s;
    s.kind = kind;
    s.analogAddress = 1;  // the demo bus: KALU 1, TEV 2, TEW 3, TEVW 4, MOKR 5
    s.binaryAddress = 2;
    s.scanAddress = 1;
    return s;
}

std::vector<std::uint8_t> monitor(const velor::MonitorSource& s) {
    return velor::monitorUserData(s).bytes;
}

float single(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    return std::bit_cast<float>(bits);
}

}  // namespace

TEST(ModsimEngine, ProbeOfPresentAndAbsentModule) {
    Link link({});
    ASSERT_TRUE(link.connected());
    auto s = source(velor::RequestKind::Probe);
    const Outcome present = link.run(velor::RequestKind::Probe, monitor(s));
    EXPECT_EQ(present.status, velor::kStatusDone);
    EXPECT_EQ(present.data[0], 0xE5);

    s.scanAddress = 9;
    const Outcome absent = link.run(velor::RequestKind::Probe, monitor(s));
    EXPECT_EQ(absent.status, velor::kStatusFailed);
    EXPECT_EQ(countEvents(link.events(), {"\"probe\"", "\"addr\":9"}), 1);  // a single attempt
}

TEST(ModsimEngine, KaluReadAndWrite) {
    Link link({});
    ASSERT_TRUE(link.connected());
    auto s = source(velor::RequestKind::Kalu);
    s.kaluOutputs = {1, 2, 3, 4, 5, -1};
    const Outcome out = link.run(velor::RequestKind::Kalu, monitor(s));
    ASSERT_EQ(out.status, velor::kStatusDone);
    ASSERT_EQ(out.length, 48);
    for (int i = 1; i <= 12; ++i) {
        EXPECT_NEAR(single(out.data, 4 * static_cast<std::size_t>(i - 1)), 10.0f * i, 2.01f);
    }
    EXPECT_EQ(countEvents(link.events(),
                          {"\"write\"", "\"addr\":1", "\"start\":48", "\"hex\":\"0102030405FF\""}),
              1);
}

TEST(ModsimEngine, BinaryModuleReads) {
    Link link({});
    ASSERT_TRUE(link.connected());
    EXPECT_EQ(link.run(velor::RequestKind::Tev, monitor(source(velor::RequestKind::Tev))).length,
              100);

    auto tew = source(velor::RequestKind::Tew);
    tew.binaryAddress = 3;
    tew.tewOutputs = 0x0813;
    const Outcome relays = link.run(velor::RequestKind::Tew, monitor(tew));
    ASSERT_EQ(relays.status, velor::kStatusDone);
    ASSERT_EQ(relays.length, 2);
    EXPECT_EQ(relays.data[0] | (relays.data[1] << 8), 0x0813);

    auto tevw = source(velor::RequestKind::Tevw);
    tevw.binaryAddress = 4;
    tevw.tevwOutputs = 0x00A5;
    const Outcome io = link.run(velor::RequestKind::Tevw, monitor(tevw));
    ASSERT_EQ(io.length, 102);
    EXPECT_EQ(io.data[4] | (io.data[5] << 8), 0x00A5);  // W2 echoes the outputs

    auto mokr = source(velor::RequestKind::Mokr);
    mokr.binaryAddress = 5;
    EXPECT_EQ(link.run(velor::RequestKind::Mokr, monitor(mokr)).length, 48);
    mokr.mokrWritePhase = true;
    EXPECT_EQ(link.run(velor::RequestKind::Mokr, monitor(mokr)).length, 16);
}

TEST(ModsimEngine, ConfigurationBlocksAreAcknowledgedAndStored) {
    Link link({});
    ASSERT_TRUE(link.connected());
    std::vector<std::uint8_t> analog(velor::kAnalogImageSize, 0x11);
    std::vector<std::uint8_t> binary(velor::kBinaryImageSize, 0x22);
    std::vector<std::uint8_t> zepa(velor::kZepaImageSize, 0);
    const velor::ConfigImages images{analog, binary, zepa};
    struct Case {
        velor::ConfigTarget target;
        bool secondHalf;
        int binaryAddress;
        const char* expected;  // event fragment of the stored block
    };
    const Case cases[] = {
        {velor::ConfigTarget::Kalu, false, 2, "\"addr\":1,\"area\":1,\"start\":0,\"count\":128"},
        {velor::ConfigTarget::Kalu, true, 2, "\"addr\":1,\"area\":1,\"start\":128,\"count\":192"},
        {velor::ConfigTarget::BinaryInputs, false, 2,
         "\"addr\":2,\"area\":1,\"start\":0,\"count\":136"},
        {velor::ConfigTarget::BinaryOutputs, false, 3,
         "\"addr\":3,\"area\":1,\"start\":0,\"count\":136"},
    };
    for (const auto& c : cases) {
        const auto block =
            velor::configUserData(c.target, c.secondHalf, 1, c.binaryAddress, 1, images);
        const Outcome out = link.run(velor::RequestKind::Config, block.data.bytes);
        EXPECT_EQ(out.status, velor::kStatusDone) << c.expected;
        EXPECT_EQ(out.data[0], 0xE5) << c.expected;
        EXPECT_EQ(countEvents(link.events(), {"\"block\"", c.expected}), 1) << c.expected;
    }
}

// The MOKR block announces and carries 232 bytes; the ZEPA block goes out under its own
// application byte with ten bytes of its image.
TEST(ModsimEngine, MokrAndZepaBlocksAreAcknowledgedAndStored) {
    Link link({"--module", "5:MOKR", "--module", "6:ZEPA"});
    ASSERT_TRUE(link.connected());
    std::vector<std::uint8_t> analog(velor::kAnalogImageSize, 0x11);
    std::vector<std::uint8_t> binary(velor::kBinaryImageSize, 0x22);
    std::vector<std::uint8_t> zepa(velor::kZepaImageSize, 0);
    const velor::ConfigImages images{analog, binary, zepa};
    const std::pair<velor::ConfigTarget, const char*> cases[] = {
        {velor::ConfigTarget::Mokr, "\"addr\":5,\"area\":1,\"start\":0,\"count\":232"},
        {velor::ConfigTarget::Zepa, "\"addr\":6,\"area\":1,\"start\":0,\"count\":10"},
    };
    for (const auto& [target, expected] : cases) {
        const int address = target == velor::ConfigTarget::Mokr ? 5 : 6;
        const auto block = velor::configUserData(target, false, 1, address, 1, images);
        const Outcome out = link.run(velor::RequestKind::Config, block.data.bytes);
        EXPECT_EQ(out.status, velor::kStatusDone) << expected;
        EXPECT_EQ(countEvents(link.events(), {"\"block\"", expected}), 1) << expected;
    }
}

TEST(ModsimEngine, NegativeRepliesGiveTheirReplyCode) {
    struct Case {
        const char* fc;
        std::uint8_t status;
        std::uint8_t replyCode;
    };
    for (const Case c : {Case{"2", velor::kStatusFailed, 1}, Case{"9", velor::kStatusFailed, 2},
                         Case{"12", velor::kStatusFailed, 3}, Case{"0", velor::kStatusDone, 0}}) {
        Link link({"--negative", QString(c.fc) + "@2"});
        ASSERT_TRUE(link.connected());
        const Outcome out =
            link.run(velor::RequestKind::Tev, monitor(source(velor::RequestKind::Tev)));
        EXPECT_EQ(out.status, c.status) << c.fc;
        EXPECT_EQ(out.replyCode, c.replyCode) << c.fc;
        EXPECT_EQ(countEvents(link.events(), {"\"request\""}), 1) << "no retry for FC " << c.fc;
    }
}

// Faults that lose or spoil the reply cost three attempts (one for the probe); faults the
// receiver can live with still give the data on the first attempt.
TEST(ModsimEngine, FaultSwitches) {
    struct Case {
        QStringList args;
        velor::RequestKind kind;
        std::uint8_t status;
        int attempts;
    };
    const Case cases[] = {
        {{"--drop", "1"}, velor::RequestKind::Tev, velor::kStatusFailed, 3},
        {{"--drop", "1"}, velor::RequestKind::Probe, velor::kStatusFailed, 1},
        {{"--bad-checksum", "1"}, velor::RequestKind::Tev, velor::kStatusFailed, 3},
        // Later than the time-out, within the span of its late answer: no attempt takes it.
        {{"--delay", "300"}, velor::RequestKind::Tev, velor::kStatusFailed, 3},
        {{"--delay", "40"}, velor::RequestKind::Tev, velor::kStatusDone, 1},
        {{"--garbage", "1", "--seed", "3"}, velor::RequestKind::Tev, velor::kStatusDone, 1},
        {{"--garbage", "1", "--seed", "4"}, velor::RequestKind::Probe, velor::kStatusDone, 1},
        {{"--split", "--seed", "5"}, velor::RequestKind::Tev, velor::kStatusDone, 1},
    };
    for (const auto& c : cases) {
        Link link(c.args);
        const std::string name =
            c.args.join(' ').toStdString() + " kind " + std::to_string(static_cast<int>(c.kind));
        ASSERT_TRUE(link.connected()) << name;
        const Outcome out = link.run(c.kind, monitor(source(c.kind)));
        EXPECT_EQ(out.status, c.status) << name;
        const char* what = c.kind == velor::RequestKind::Probe ? "\"probe\"" : "\"request\"";
        EXPECT_EQ(countEvents(link.events(), {what}), c.attempts) << name;
        if (c.status == velor::kStatusDone && c.kind == velor::RequestKind::Tev) {
            EXPECT_EQ(out.length, 100) << name;
        }
    }
}

// The peer hangs up right after its answer: the answer still counts; the requests after it fail
// at once without sending anything, the fourth failure in a row reopens the connection (the
// transport also tries again by itself), after which the module answers again.
TEST(ModsimEngine, DisconnectAfterIsRecoveredByTheFailureRule) {
    Link link({"--disconnect-after", "1"});
    ASSERT_TRUE(link.connected());
    const auto probe = monitor(source(velor::RequestKind::Probe));
    EXPECT_EQ(link.run(velor::RequestKind::Probe, probe).status, velor::kStatusDone);
    const auto tev = monitor(source(velor::RequestKind::Tev));
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(link.run(velor::RequestKind::Tev, tev).status, velor::kStatusFailed) << i;
        EXPECT_EQ(link.reopens(), i == 4 ? 1 : 0) << i;
    }
    EXPECT_EQ(countEvents(link.events(), {"\"request\""}), 0);
    ASSERT_TRUE(link.waitConnected());
    EXPECT_EQ(link.run(velor::RequestKind::Tev, tev).status, velor::kStatusDone);
}

#ifdef VELOR_TEST_POSIX_FACILITIES  // pseudo-terminal
// The same exchanges through the channel table's serial channel, with COM1 resolved to the
// simulator's pseudo-terminal.
TEST(ModsimEngine, OverThePseudoTerminal) {
    QTemporaryDir dir;
    const QString com1 = dir.filePath("COM1");
    const QString events = dir.filePath("events.jsonl");
    Simulator sim(
        {"--no-tcp", "--pty", com1, "--events", events, "--log", dir.filePath("frames.log")});
    ASSERT_FALSE(sim.ptyDevice().isEmpty());
    ASSERT_TRUE(QFileInfo(com1).isSymLink());

    velor::CommState comm;
    velor::PortRecord& record = *comm.channel.ChannelTable.record(1);
    record.PortNumber = 1;
    record.BaudIndex = 3;
    comm.channel.SelectedPortName = "COM1";
    const std::string device = com1.toStdString();
    comm.channel.resolvePort = [device](const std::string&) { return device; };
    velor::test::ChannelEngine wired(comm);
    comm.channel.TransferResult = 0;
    velor::OpenChannel(comm.channel, 1);
    ASSERT_EQ(comm.channel.TransferResult, 0);

    const auto run = [&](velor::RequestKind kind, const std::vector<std::uint8_t>& user) {
        std::vector<std::uint8_t> buffer(velor::kBufferSize);
        std::copy(user.begin(), user.end(), buffer.begin());
        velor::TransferRequest req;
        req.Buffer = buffer;
        req.Length = static_cast<std::int32_t>(user.size());
        req.step(1) = {velor::kOpSendFrame, 0, 500};
        req.step(2) = {velor::kOpReceiveFrame, 0, 500};
        req.step(3) = {velor::kOpEnd, 0, 0};
        comm.engine.RequestKind = kind;
        velor::QueueRequest(comm.engine, req);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return req.Status != velor::kStatusRunning && comm.engine.TransferWindow == nullptr;
        }));
        return std::pair{req.Status, req.Length};
    };

    auto probe = source(velor::RequestKind::Probe);
    EXPECT_EQ(run(velor::RequestKind::Probe, monitor(probe)).first, velor::kStatusDone);
    probe.scanAddress = 9;
    EXPECT_EQ(run(velor::RequestKind::Probe, monitor(probe)).first, velor::kStatusFailed);
    auto kalu = source(velor::RequestKind::Kalu);
    kalu.kaluOutputs = {9, 8, 7, 6, 5, 4};
    EXPECT_EQ(run(velor::RequestKind::Kalu, monitor(kalu)), std::pair(velor::kStatusDone, 48));
    EXPECT_EQ(run(velor::RequestKind::Tev, monitor(source(velor::RequestKind::Tev))),
              std::pair(velor::kStatusDone, 100));
    std::vector<std::uint8_t> analog(velor::kAnalogImageSize, 0x33);
    std::vector<std::uint8_t> binary(velor::kBinaryImageSize);
    std::vector<std::uint8_t> zepa(velor::kZepaImageSize);
    const auto block =
        velor::configUserData(velor::ConfigTarget::Kalu, false, 1, 2, 1, {analog, binary, zepa});
    EXPECT_EQ(run(velor::RequestKind::Config, block.data.bytes).first, velor::kStatusDone);

    EXPECT_EQ(countEvents(events, {"\"write\"", "\"hex\":\"090807060504\""}), 1);
    EXPECT_EQ(countEvents(events, {"\"block\"", "\"addr\":1", "\"count\":128"}), 1);
    velor::CloseChannel(comm.channel, 1);
}
#endif

// The finder's sweep through the real engine on a pseudo-terminal: it stops at once when
// aborted, keeps what it found, and gives channel 1 back with its old settings, closed.
// Channel 1 at the simulator's pseudo-terminal COM1, with the program's engine on it.
struct PtyChannel {
    explicit PtyChannel(const QString& com1) : device(com1.toStdString()) {
        velor::PortRecord& record = *comm.channel.ChannelTable.record(1);
        record.PortNumber = 1;
        record.BaudIndex = 3;
        record.NoParity = 1;
        comm.engine.ReplyTimeout = 500;
        comm.channel.SelectedPortName = "COM1";
        comm.channel.resolvePort = [path = device](const std::string&) { return path; };
    }
    std::string device;
    velor::CommState comm;
    velor::test::ChannelEngine wired{comm};
};

#ifdef VELOR_TEST_POSIX_FACILITIES  // pseudo-terminal
TEST(ModsimEngine, SweepAbortKeepsItsAnswersAndGivesTheChannelBack) {
    QTemporaryDir dir;
    const QString com1 = dir.filePath("COM1");
    Simulator sim({"--no-tcp", "--pty", com1, "--log", QProcess::nullDevice(), "--module", "2:TEV",
                   "--line", "4800", "--module", "6:KALU", "--line", "9600"});
    ASSERT_FALSE(sim.ptyDevice().isEmpty());
    PtyChannel channel(com1);
    velor::CommState& comm = channel.comm;
    const velor::PortRecord& record = *comm.channel.ChannelTable.record(1);

    velor::SweepSettings settings;
    settings.to = 7;
    velor::ModuleSweep sweep(comm, settings);
    ASSERT_EQ(sweep.total(), 8 * 5 * 2);
    // Abort once the 9600 Bd setting (the second) has been probed past address 6.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            if (sweep.done() > 8 + 7) sweep.abort();
            return !sweep.step();
        },
        20000));
    EXPECT_TRUE(sweep.aborted());
    EXPECT_LE(sweep.done(), 8 + 8);
    ASSERT_EQ(sweep.answers().size(), 2u);
    EXPECT_EQ(sweep.answers()[0].point, (velor::SweepPoint{2, 0, false}));
    EXPECT_EQ(sweep.answers()[1].point, (velor::SweepPoint{6, 1, false}));
    EXPECT_EQ(sweep.answers()[1].kind, velor::AnswerKind::Ack);
    const auto leftAtAbort = sweep.msLeft();
    EXPECT_GT(leftAtAbort, 0);

    sweep.finish();
    EXPECT_EQ(record.BaudIndex, 3);
    EXPECT_EQ(record.NoParity, 1);
    EXPECT_EQ(comm.engine.ReplyTimeout, 500);
    EXPECT_EQ(velor::channelSerialPort(comm.channel, 1), nullptr);
}
#endif

#ifdef VELOR_TEST_POSIX_FACILITIES  // pseudo-terminal
// The simulator (the port's device) goes away in the middle of a sweep: the sweep ends there as
// lost, keeps the answers found before, and gives the channel back closed.
TEST(ModsimEngine, SweepEndsAsLostWhenItsPortGoesAway) {
    QTemporaryDir dir;
    const QString com1 = dir.filePath("COM1");
    auto sim = std::make_unique<Simulator>(QStringList{
        "--no-tcp", "--pty", com1, "--log", QProcess::nullDevice(), "--module", "2:TEV"});
    ASSERT_FALSE(sim->ptyDevice().isEmpty());
    PtyChannel channel(com1);
    velor::SweepSettings settings;
    settings.to = 7;
    velor::ModuleSweep sweep(channel.comm, settings);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            if (sweep.done() > 4 && sim) sim.reset();  // past the module at 2
            return !sweep.step();
        },
        20000));
    EXPECT_TRUE(sweep.portLost());
    EXPECT_FALSE(sweep.aborted());
    EXPECT_LT(sweep.done(), sweep.total());
    ASSERT_EQ(sweep.answers().size(), 1u);
    EXPECT_EQ(sweep.answers()[0].point, (velor::SweepPoint{2, 0, false}));
    sweep.finish();
    EXPECT_EQ(velor::channelSerialPort(channel.comm.channel, 1), nullptr);
}
#endif
