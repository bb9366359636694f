// The capture file read back by tshark, with and without the project's dissector.

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "TrafficCaptureSamples.h"

using namespace velor;
using namespace velor::test;

namespace {

QString runTshark(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("tshark"), args);
    if (!p.waitForFinished(60'000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

TEST(TrafficCapture, TsharkReadsTheCaptureBack) {
    if (QStandardPaths::findExecutable(QStringLiteral("tshark")).isEmpty())
        GTEST_SKIP() << "tshark is not installed";
    ManualClock clock;
    TrafficTap tap(clock);
    recordExchanges(tap, clock);
    QTemporaryDir dir;
    const QString path = QString::fromStdString(writeTemp(dir, pcapOfFrames(tap, allSeqs(tap))));

    const QString plain = runTshark({"-r", path, "-T", "fields", "-e", "frame.len", "-e",
                                     "rtacser.eventtype", "-e", "frame.time_epoch"});
    const QStringList lines = plain.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4) << plain.toStdString();
    EXPECT_TRUE(lines[0].startsWith("18\t0x01\t1700000000.123456")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("13\t0x02\t1700000000.127456")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("26\t0x01")) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].startsWith("23\t0x02")) << lines[3].toStdString();

    // The project's dissector names the module, the request and the answer.
    const QString lua = QStringLiteral(VELOR_SOURCE_DIR "/packaging/wireshark/velor.lua");
    const QString decoded = runTshark(
        {"-X", "lua_script:" + lua, "-r", path, "-T", "fields", "-e", "velor.address", "-e",
         "velor.code", "-e", "velor.item.count", "-e", "velor.ack", "-e", "velor.checksum.ok"});
    const QStringList rows = decoded.trimmed().split('\n');
    ASSERT_EQ(rows.size(), 4) << decoded.toStdString();
    EXPECT_EQ(rows[0], "7\t\t\t\t1");
    EXPECT_EQ(rows[1], "\t\t\t0xe5\t");
    EXPECT_EQ(rows[2], "7\t0x0b\t100\t\t1");
    EXPECT_EQ(rows[3], "7\t\t\t\t1");
}
