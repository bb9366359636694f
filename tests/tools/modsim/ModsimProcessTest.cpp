// The real velor-modsim executable, started on 127.0.0.1 port 0 and spoken to with raw sockets
// and through its pseudo-terminal. Every wait is bounded by a deadline.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>

#ifdef VELOR_TEST_POSIX_FACILITIES
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

#include "support/ModsimProcess.h"
#include "support/QtAppEnvironment.h"

using namespace velor::modsim;
using namespace velor::modsim::test;

namespace {

const char* kTevRead = "02 40 6C 0B 02 00 00 64";
constexpr int kTevReplySize = 6 + 3 + 100;

}  // namespace

TEST(ModsimProcess, ProbeReadAndWriteOverTcp) {
    QTemporaryDir dir;
    const QString events = dir.filePath("events.jsonl");
    Simulator sim(
        {"--tcp", "127.0.0.1:0", "--events", events, "--log", dir.filePath("frames.log")});
    ASSERT_NE(sim.port(), 0);
    auto socket = connectTo(sim.port());

    EXPECT_EQ(hexOf(ask(*socket, bytesOf("10 01 40 69 AA 16"), 1)), "E5");
    EXPECT_EQ(ask(*socket, bytesOf("10 09 40 69 B2 16"), 1, 300).size(), 0);  // absent: silence

    const QByteArray tev = ask(*socket, frameOf(kTevRead), kTevReplySize);
    ASSERT_EQ(tev.size(), kTevReplySize);
    EXPECT_EQ(hexOf(tev.left(7)), "6867676802406C");

    const QByteArray block = frameOf("03 40 6C 0C 01 00 00 04 0A 0B 0C 0D");
    EXPECT_EQ(hexOf(ask(*socket, block, 1)), "E5");
    EXPECT_EQ(hexOf(ask(*socket, frameOf("03 40 6C 0A"), 6)), "100340024516");

    QFile log(events);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains(
        R"({"event":"block","addr":3,"area":1,"start":0,"count":4,"hex":"0A0B0C0D"})"));
    EXPECT_TRUE(text.contains(
        R"("event":"request","link":"tcp#1","addr":2,"present":true,"code":11,"items":[{"area":2,"start":0,"count":100}])"));
    EXPECT_TRUE(text.contains(R"("event":"probe","link":"tcp#1","addr":9,"present":false)"));
}

TEST(ModsimProcess, DisconnectAfterFramesAndServeTheNextPeer) {
    Simulator sim(
        {"--tcp", "127.0.0.1:0", "--disconnect-after", "2", "--log", QProcess::nullDevice()});
    ASSERT_NE(sim.port(), 0);
    auto first = connectTo(sim.port());
    EXPECT_EQ(hexOf(ask(*first, bytesOf("10 01 40 69 AA 16"), 1)), "E5");
    EXPECT_EQ(hexOf(ask(*first, bytesOf("10 02 40 69 AB 16"), 1)), "E5");
    QDeadlineTimer deadline(3000);
    while (first->state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        first->waitForDisconnected(100);
    }
    EXPECT_NE(first->state(), QAbstractSocket::ConnectedState);

    auto second = connectTo(sim.port());
    EXPECT_EQ(hexOf(ask(*second, bytesOf("10 01 40 69 AA 16"), 1)), "E5");
}

TEST(ModsimProcess, SplitReplyArrivesInPieces) {
    Simulator sim(
        {"--tcp", "127.0.0.1:0", "--split", "--seed", "7", "--log", QProcess::nullDevice()});
    ASSERT_NE(sim.port(), 0);
    auto socket = connectTo(sim.port());
    socket->write(frameOf(kTevRead));
    int arrivals = 0;
    const QByteArray reply = receive(*socket, kTevReplySize, 3000, &arrivals);
    ASSERT_EQ(reply.size(), kTevReplySize);
    EXPECT_GE(arrivals, 2);
    EXPECT_EQ(hexOf(reply.left(4)), "68676768");
    EXPECT_EQ(static_cast<std::uint8_t>(reply.back()), kEndByte);
}

// Junk, an oversized length and a peer that vanishes mid-frame do not stop the service.
TEST(ModsimProcess, BadInputNeverStopsTheService) {
    Simulator sim({"--tcp", "127.0.0.1:0", "--log", QProcess::nullDevice()});
    ASSERT_NE(sim.port(), 0);
    {
        auto rude = connectTo(sim.port());
        rude->write(bytesOf("00 FF 68 FF FF 68 01 02 03"));
        rude->waitForBytesWritten(1000);
        rude->abort();
    }
    auto socket = connectTo(sim.port());
    EXPECT_EQ(hexOf(ask(*socket, bytesOf("33 44 10 01 40 69 AA 16"), 1)), "E5");
    EXPECT_EQ(sim.process().state(), QProcess::Running);
}

// Settings that would expose the bus or overwrite a user's file end the simulator at once.
TEST(ModsimProcess, RefusesUnsafeSettings) {
    QTemporaryDir dir;
    const QString userFile = dir.filePath("user-port");  // a user's file, not a link
    {
        QFile f(userFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    const QStringList cases[] = {
        {"--tcp", "0.0.0.0:0"},
        {"--tcp", "127.0.0.1:0", "--pty", userFile},
        {"--tcp", "127.0.0.1:0", "--module", "32:KALU"},
        {"--tcp", "127.0.0.1:0", "--drop", "2"},
    };
    for (const auto& args : cases) {
        Simulator sim(args);
        sim.process().waitForFinished(5000);  // false when it has already ended
        ASSERT_EQ(sim.process().state(), QProcess::NotRunning) << args.join(' ').toStdString();
        EXPECT_EQ(sim.process().exitCode(), 2) << args.join(' ').toStdString();
    }
    QFile f(userFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("keep me"));
}

#ifdef VELOR_TEST_POSIX_FACILITIES  // pseudo-terminals
TEST(ModsimProcess, PseudoTerminalAndCleanEnd) {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    Simulator sim({"--tcp", "127.0.0.1:0", "--pty", link, "--log", QProcess::nullDevice()});
    ASSERT_FALSE(sim.ptyDevice().isEmpty());
    ASSERT_TRUE(QFileInfo(link).isSymLink());

    const int fd = ::open(link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios raw{};
    ASSERT_EQ(::tcgetattr(fd, &raw), 0);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    const QByteArray probe = bytesOf("10 01 40 69 AA 16");
    ASSERT_EQ(::write(fd, probe.constData(), static_cast<std::size_t>(probe.size())), probe.size());
    std::uint8_t answer = 0;
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 3000), 1);
    EXPECT_EQ(::read(fd, &answer, 1), 1);
    EXPECT_EQ(answer, kAck);
    ::close(fd);

    sim.process().terminate();  // SIGTERM
    ASSERT_TRUE(sim.process().waitForFinished(5000));
    EXPECT_EQ(sim.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.process().exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

namespace {

// Sets the terminal to baud and sends the probe of address; true when E5 came back in time.
bool probeAt(int fd, speed_t baud, int address) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, baud);
    ::cfsetospeed(&t, baud);
    ::tcsetattr(fd, TCSANOW, &t);
    const Bytes user{static_cast<std::uint8_t>(address), 0x40, 0x69};
    const Bytes probe = buildShortFrame(user);
    if (::write(fd, probe.data(), probe.size()) != static_cast<ssize_t>(probe.size())) return false;
    pollfd p{fd, POLLIN, 0};
    std::uint8_t answer = 0;
    return ::poll(&p, 1, 300) == 1 && ::read(fd, &answer, 1) == 1 && answer == kAck;
}

}  // namespace

// A --line after a --module is that module's; one before every --module is the bus's.
TEST(ModsimProcess, ModulesAnswerOnlyAtTheirBaudRate) {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    Simulator sim({"--no-tcp", "--pty", link, "--log", QProcess::nullDevice(), "--line", "9600",
                   "--module", "3:TEV", "--module", "17:KALU", "--line", "19200,even", "--module",
                   "20:TEW", "--line", "57600,none"});
    ASSERT_FALSE(sim.ptyDevice().isEmpty());
    const int fd = ::open(link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    struct Case {
        speed_t baud;
        int address;
        bool answers;
    };
    const Case cases[] = {
        {B19200, 17, true}, {B9600, 17, false}, {B57600, 17, false}, {B9600, 3, true},
        {B19200, 3, false}, {B57600, 20, true}, {B19200, 20, false}, {B19200, 5, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(probeAt(fd, c.baud, c.address), c.answers)
            << "address " << c.address << " baud code " << c.baud;
    }
    ::close(fd);
}

TEST(ModsimProcess, RefusesABadLineSetting) {
    for (const char* bad : {"19201", "19200,odd", "x", ""}) {
        QProcess p;
        p.start(QStringLiteral(VELOR_MODSIM_EXE), {"--no-tcp", "--line", bad});
        ASSERT_TRUE(p.waitForFinished(5000));
        EXPECT_EQ(p.exitCode(), 2) << bad;
    }
}
#endif  // VELOR_TEST_POSIX_FACILITIES
