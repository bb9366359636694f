// The write log: the line's fields, appending and flushing, the rotation at its size limit, the
// one report of a file that cannot be written, and the polling loop's repeated writes as one line.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <string>

#include "modules/WriteLog.h"
#include "support/FileBytes.h"

namespace velor {
namespace {

using test::fileText;

WriteEntry tewWrite(bool accepted) {
    WriteEntry e;
    PortRecord com1;
    com1.PortNumber = 1;
    com1.BaudIndex = 3;
    e.port = portSettingsText(com1, 10000);
    e.address = 3;
    e.kind = "TEW";
    e.what = "výstupy 0x0000 -> 0x0005";
    e.accepted = accepted;
    if (!accepted) e.reason = "Chyba přenosu";
    return e;
}

struct WriteLogTest : ::testing::Test {
    WriteLogSetup setup(std::int64_t rotateBytes = kWriteLogRotateBytes) {
        WriteLogSetup s;
        s.path = dir.filePath("zapisy.log").toStdString();
        s.clock = [] { return QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53, 7)); };
        s.user = [] { return std::string("novák"); };
        s.rotateBytes = rotateBytes;
        return s;
    }
    QTemporaryDir dir;
};

TEST_F(WriteLogTest, LineHoldsTimeUserPortModuleWhatAndOutcome) {
    WriteLog log(setup());
    ASSERT_TRUE(log.append(tewWrite(true)));
    ASSERT_TRUE(log.append(tewWrite(false)));
    EXPECT_EQ(fileText(dir.filePath("zapisy.log")),
              "2026-03-14 09:26:53.007 | novák | COM1 38400 Bd, sudá parita | adresa 3 TEW | "
              "výstupy 0x0000 -> 0x0005 | přijato\n"
              "2026-03-14 09:26:53.007 | novák | COM1 38400 Bd, sudá parita | adresa 3 TEW | "
              "výstupy 0x0000 -> 0x0005 | chyba: Chyba přenosu\n");
    EXPECT_EQ(log.sessionLines().size(), 2u);
}

TEST_F(WriteLogTest, AppendsToWhatIsThereAndKeepsOneEntryOnOneLine) {
    {
        QFile f(dir.filePath("zapisy.log"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier line\n");
    }
    WriteLog log(setup());
    WriteEntry e = tewWrite(false);
    e.reason = "odpověď\r\nzáporná";
    ASSERT_TRUE(log.append(e));
    const std::string text = fileText(dir.filePath("zapisy.log"));
    EXPECT_EQ(text.rfind("earlier line\n", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    EXPECT_NE(text.find("chyba: odpověď  záporná\n"), std::string::npos);
    // Only this session's lines are the session's writes.
    ASSERT_EQ(log.sessionLines().size(), 1u);
}

TEST_F(WriteLogTest, FullLogBecomesTheOldOneAndTheOlderOneGoes) {
    const std::int64_t limit = 300;
    WriteLog log(setup(limit));
    {
        QFile older(dir.filePath("zapisy.1.log"));
        ASSERT_TRUE(older.open(QIODevice::WriteOnly));
        older.write("the oldest\n");
    }
    int lines = 0;
    while (QFile(dir.filePath("zapisy.log")).size() < limit) {
        ASSERT_TRUE(log.append(tewWrite(true)));
        ASSERT_LT(++lines, 100);
    }
    const std::string full = fileText(dir.filePath("zapisy.log"));
    ASSERT_TRUE(log.append(tewWrite(false)));
    EXPECT_EQ(fileText(dir.filePath("zapisy.1.log")), full);
    const std::string now = fileText(dir.filePath("zapisy.log"));
    EXPECT_EQ(std::count(now.begin(), now.end(), '\n'), 1);
    EXPECT_NE(now.find("chyba"), std::string::npos);
}

TEST_F(WriteLogTest, UnwritableFileIsReportedOnceAndWritesGoOn) {
    WriteLogSetup s = setup();
    s.path = dir.filePath("no-such-folder/zapisy.log").toStdString();
    WriteLog log(s);
    std::vector<std::string> told;
    log.setCannotWriteHandler([&](const std::string& text) { told.push_back(text); });
    EXPECT_FALSE(log.append(tewWrite(true)));
    EXPECT_FALSE(log.append(tewWrite(true)));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("nelze zapsat"), std::string::npos);
    // The report of the session still has them.
    EXPECT_EQ(log.sessionLines().size(), 2u);
}

TEST(WriteLogTexts, PortSettingsAndBlockChecksum) {
    PortRecord r;
    r.PortNumber = 2;
    r.BaudIndex = 1;
    r.NoParity = 1;
    EXPECT_EQ(portSettingsText(r, 10000), "COM2 9600 Bd, bez parity");
    EXPECT_EQ(portSettingsText(r, 10000, "/dev/ttyUSB0"), "/dev/ttyUSB0 9600 Bd, bez parity");
    r.PortNumber = 0;
    setTcpHost(r, "10.0.0.5");
    EXPECT_EQ(portSettingsText(r, 10001), "TCP 10.0.0.5:10001");
    // CRC-16/X-25 of "123456789".
    const std::array<std::uint8_t, 9> check{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(blockChecksumText(check), "CRC-16 0x906E");
}

TEST(OutputWriteFilter, RepeatedPollsAreOneLineAndFailuresOfKeptOutputsNone) {
    OutputWriteFilter f;
    EXPECT_EQ(f.onPoll("TEW", 3, "0x0000", true), "výstupy ? -> 0x0000");
    EXPECT_EQ(f.onPoll("TEW", 3, "0x0000", true), "");
    // The link fails: the module keeps the outputs it took, nothing was written.
    EXPECT_EQ(f.onPoll("TEW", 3, "0x0000", false), "");
    EXPECT_EQ(f.onPoll("TEW", 3, "0x0005", false), "výstupy 0x0000 -> 0x0005");
    EXPECT_EQ(f.onPoll("TEW", 3, "0x0005", false), "");
    EXPECT_EQ(f.onPoll("TEW", 3, "0x0005", true), "výstupy 0x0000 -> 0x0005");
    EXPECT_EQ(f.onPoll("TEW", 3, "0x0005", true), "");
    // Another module has its own history.
    EXPECT_EQ(f.onPoll("TEW", 4, "0x0005", true), "výstupy ? -> 0x0005");
    // A window opened again starts its writes with a line, the old value known.
    f.restart();
    EXPECT_EQ(f.onPoll("TEW", 3, "0x0005", true), "výstupy 0x0005 -> 0x0005");
}

}  // namespace
}  // namespace velor
