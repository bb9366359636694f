// The writes of the polling loop and velor-cli in the write log: the outputs of each request
// kind as the log shows them, a line per change and not per poll, a configuration send as one
// line when its last block is accepted and one for its first failure.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "modules/ModuleWrites.h"

namespace velor {
namespace {

struct ModuleWritesTest : ::testing::Test {
    ModuleWritesTest()
        : log([this] {
              WriteLogSetup s;
              s.path = dir.filePath("zapisy.log").toStdString();
              s.clock = [] { return QDateTime(QDate(2026, 3, 14), QTime(9, 0)); };
              s.user = [] { return std::string("technik"); };
              return s;
          }()),
          writes(log, [] { return std::string("COM1 38400 Bd, sudá parita"); }) {}

    LoopWrite poll(RequestKind kind, bool accepted) {
        LoopWrite w;
        w.kind = kind;
        w.source.kind = kind;
        w.source.analogAddress = 1;
        w.source.binaryAddress = 3;
        w.source.tewOutputs = tew;
        w.accepted = accepted;
        if (!accepted) w.reason = writeFailureReason(0);
        return w;
    }
    LoopWrite block(std::vector<std::uint8_t> bytes, bool last, bool accepted, int replyCode = 0) {
        LoopWrite w;
        w.kind = RequestKind::Config;
        w.target = ConfigTarget::Kalu;
        w.block = std::move(bytes);
        w.lastBlock = last;
        w.configFile = "KonfigA.cfa";
        w.accepted = accepted;
        if (!accepted) w.reason = writeFailureReason(replyCode);
        return w;
    }
    const std::vector<std::string>& lines() const { return log.sessionLines(); }

    QTemporaryDir dir;
    WriteLog log;
    ModuleWrites writes;
    std::uint16_t tew = 0;
};

TEST(WrittenOutputs, EachKindAsTheLogShowsIt) {
    MonitorSource s;
    s.kind = RequestKind::Kalu;
    s.kaluOutputs = {1, 255, -1, 256, 0, 7};
    EXPECT_EQ(writtenOutputsText(s), "1, 255, 255, 0, 0, 7");  // the low 8 bits go out
    s.kind = RequestKind::Tew;
    s.tewOutputs = 0x0A05;
    EXPECT_EQ(writtenOutputsText(s), "0x0A05");
    s.kind = RequestKind::Mokr;
    s.piggyOutputs[1] = 0x81;
    EXPECT_EQ(writtenOutputsText(s), "");  // the counter phase writes nothing
    s.mokrWritePhase = true;
    EXPECT_EQ(writtenOutputsText(s), "P0..P7 00 81 00 00 00 00 00 00");
    s.kind = RequestKind::Tev;
    EXPECT_EQ(writtenOutputsText(s), "");
    EXPECT_EQ(writeFailureReason(2), "FC=9 Blok/Data nedostupná");
    EXPECT_EQ(writeFailureReason(0), "Chyba přenosu");
}

TEST_F(ModuleWritesTest, PollsWriteALineWhenTheOutputsChangeAndWhenAnotherWindowStarts) {
    for (int i = 0; i < 5; ++i) writes.onWrite(poll(RequestKind::Tew, true));
    tew = 0x0004;
    writes.onWrite(poll(RequestKind::Tew, false));
    for (int i = 0; i < 5; ++i) writes.onWrite(poll(RequestKind::Tew, true));
    writes.onWrite(poll(RequestKind::Tev, true));  // reads only
    writes.onWrite(poll(RequestKind::Kalu, true));
    writes.onWrite(poll(RequestKind::Tew, true));
    ASSERT_EQ(lines().size(), 5u);
    EXPECT_NE(lines()[0].find("| COM1 38400 Bd, sudá parita | adresa 3 TEW | výstupy ? -> "
                              "0x0000 | přijato"),
              std::string::npos);
    EXPECT_NE(lines()[1].find("výstupy 0x0000 -> 0x0004 | chyba: Chyba přenosu"),
              std::string::npos);
    EXPECT_NE(lines()[2].find("výstupy 0x0000 -> 0x0004 | přijato"), std::string::npos);
    EXPECT_NE(lines()[3].find("adresa 1 KALU | výstupy ? -> 0, 0, 0, 0, 0, 0"), std::string::npos);
    EXPECT_NE(lines()[4].find("adresa 3 TEW | výstupy 0x0004 -> 0x0004 | přijato"),
              std::string::npos);
}

TEST_F(ModuleWritesTest, ConfigurationSendIsOneLineWithTheChecksumOfItsBlocks) {
    const std::vector<std::uint8_t> first = {1, 0x40, 0x6C, 7, 1, 2, 3};
    const std::vector<std::uint8_t> second = {1, 0x40, 0x6C, 7, 4, 5};
    // The second half fails twice; the send starts again with the first half.
    writes.onWrite(block(first, false, true));
    writes.onWrite(block(second, true, false, 3));
    writes.onWrite(block(first, false, true));
    writes.onWrite(block(second, true, false));
    writes.onWrite(block(first, false, true));
    writes.onWrite(block(second, true, true));
    ASSERT_EQ(lines().size(), 2u);
    EXPECT_NE(
        lines()[0].find("adresa 1 KALU | konfigurace KonfigA.cfa | chyba: FC=0x0c nespravne zadane "
                        "parametry"),
        std::string::npos);
    std::vector<std::uint8_t> both = first;
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_NE(lines()[1].find("konfigurace KonfigA.cfa, bloky 13 B, " + blockChecksumText(both) +
                              " | přijato"),
              std::string::npos)
        << lines()[1];
    // The next send may fail again, and says so.
    writes.onWrite(block(first, false, false));
    EXPECT_EQ(lines().size(), 3u);
    // Every line is in the file as well.
    QFile f(dir.filePath("zapisy.log"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count('\n'), 3);
}

}  // namespace
}  // namespace velor
