// The real velor executable started as a user would, offscreen, each copy in a working directory
// of its own. Messages go to the VELOR_MESSAGE_LOG file (a modal window in another process
// cannot be answered); the single-instance lock lives in a test-private TMPDIR (no runtime
// directory is passed on, so the lock goes to the user's own folder in it).

#include <gtest/gtest.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "support/QtAppEnvironment.h"

namespace {

constexpr int kStartMs = 20000;

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One copy of the program; killed when the test ends, whatever happened.
class Velor {
public:
    Velor(const QString& workDir, const QString& tmpDir, quint16 tcpPort = 0)
        : log_(QDir(workDir).filePath(QStringLiteral("messages.log"))) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), tmpDir);
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        env.insert(QStringLiteral("VELOR_MESSAGE_LOG"), log_);
        if (tcpPort != 0) env.insert(QStringLiteral("VELOR_TCP_PORT"), QString::number(tcpPort));
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(workDir);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(VELOR_EXE_PATH), QStringList());
        started_ = process_.waitForStarted(kStartMs);
    }
    ~Velor() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(5000);
    }

    bool started() const { return started_; }
    QProcess& process() { return process_; }
    QByteArray log() const { return ReadAll(log_); }
    bool running() const { return process_.state() == QProcess::Running; }

    // Waits until the condition holds, at most ms; false on time-out or when the program ended
    // before.
    bool waitFor(const std::function<bool()>& condition, int ms = kStartMs) {
        return QTest::qWaitFor([&] { return condition() || !running(); }, ms) && condition();
    }

private:
    QString log_;
    QProcess process_;
    bool started_ = false;
};

const QByteArray kInitAnalog =
    QStringLiteral("2|1|Chyba při čtení souboru: KonfigA.cfa|Soubor bude inicializován\n").toUtf8();
const QByteArray kInitBinary =
    QStringLiteral("2|1|Chyba při čtení souboru: KonfigB.cfb|Soubor bude inicializován\n").toUtf8();
const QByteArray kRefused =
    QStringLiteral("2|1|Aplikace již byla jednou spuštěna.|Program bude ukončen\n").toUtf8();

// The default channel record: port 0 (TCP), the unnamed 4, baud index 3, no line-error
// override, even parity, zero padding, handle -1, empty texts.
QByteArray DefaultRecord() {
    QByteArray r(132, '\0');
    r[1] = 4;
    r[2] = 3;
    for (int i = 8; i < 12; ++i) r[i] = static_cast<char>(0xFF);
    return r;
}

class VelorProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        for (const char* d : {"tmp", "one", "two", "three"})
            ASSERT_TRUE(QDir(root.path()).mkdir(d));
    }
    QString dir(const char* name) const { return root.filePath(QString::fromLatin1(name)); }
    QString file(const char* d, const char* name) const {
        return QDir(dir(d)).filePath(QString::fromLatin1(name));
    }

    QTemporaryDir root;
};

TEST_F(VelorProcessTest, EmptyDirectoryGetsTheDefaultFilesAndTheirMessages) {
    Velor velor(dir("one"), dir("tmp"));
    ASSERT_TRUE(velor.started());
    ASSERT_TRUE(velor.waitFor([&] { return velor.log().contains(kInitBinary); }))
        << velor.log().toStdString();
    EXPECT_TRUE(velor.running());
    EXPECT_EQ(velor.log(), kInitAnalog + kInitBinary);
    // The message comes before the file is written: wait for the save that follows it.
    EXPECT_TRUE(velor.waitFor([&] { return ReadAll(file("one", "KonfigB.cfb")).size() == 2704; }));

    EXPECT_EQ(ReadAll(file("one", "KonfigA.cfa")).size(), 1292);
    EXPECT_EQ(ReadAll(file("one", "KonfigB.cfb")).size(), 2704);
    const QByteArray com = ReadAll(file("one", "COM.CFG"));
    ASSERT_EQ(com.size(), 264);
    EXPECT_EQ(com.left(132).toHex(' '), DefaultRecord().toHex(' '));
    EXPECT_EQ(com.mid(132).toHex(' '), DefaultRecord().toHex(' '));
}

// A second copy shows its message and ends without COM.CFG; a copy killed outright leaves its
// lock file behind, which does not keep the next copy from starting. A copy is known to be up
// when it connects to the test's TCP peer: the channel opens last in the start-up.
TEST_F(VelorProcessTest, SecondCopyRefusedAndAKilledCopyDoesNotBlock) {
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    QByteArray com = DefaultRecord() + DefaultRecord();
    const QByteArray host("127.0.0.1");
    com[114] = static_cast<char>(host.size());
    com.replace(115, host.size(), host);
    {
        QFile f(file("one", "COM.CFG"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(com), 264);
    }

    auto first = std::make_unique<Velor>(dir("one"), dir("tmp"), peer.serverPort());
    ASSERT_TRUE(peer.waitForNewConnection(kStartMs)) << first->log().toStdString();
    delete peer.nextPendingConnection();
    EXPECT_EQ(first->log(), kInitAnalog + kInitBinary);

    Velor second(dir("two"), dir("tmp"), peer.serverPort());
    ASSERT_TRUE(second.process().waitForFinished(kStartMs));
    EXPECT_EQ(second.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process().exitCode(), 0);
    EXPECT_EQ(second.log(), kRefused);
    EXPECT_EQ(QDir(dir("two")).entryList(QDir::Files), QStringList{"messages.log"});
    EXPECT_TRUE(first->running());

    first->process().kill();
    ASSERT_TRUE(first->process().waitForFinished(5000));
    first.reset();
#ifdef VELOR_TEST_POSIX_FACILITIES  // the guard is a lock file there (a mutex on Windows)
    const QString lockDir = QStringLiteral("velor-%1").arg(getuid());
    EXPECT_TRUE(QFile::exists(QDir(dir("tmp")).filePath(lockDir + "/KopieProgramuDorvina.lock")));
#endif

    // The files the first copy wrote are read back without a message.
    QFile::remove(file("one", "messages.log"));
    Velor third(dir("one"), dir("tmp"), peer.serverPort());
    ASSERT_TRUE(peer.waitForNewConnection(kStartMs)) << third.log().toStdString();
    EXPECT_TRUE(third.running());
    EXPECT_EQ(third.log(), QByteArray());
    EXPECT_EQ(ReadAll(file("one", "COM.CFG")), com);
}

}  // namespace
