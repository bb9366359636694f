// The entry's test hooks: the message log line and answers, the peer port override.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "app/TestHooks.h"

namespace velor {
namespace {

TEST(TestHooksTest, MessagesAreLoggedOneLineEachAndAnsweredWithTheDefaultButton) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("log");
    {
        MessageLogPresenter log(path.toStdString());
        EXPECT_EQ(messagePresenter(), &log);
        ShowMessageWindow("ERROR", "Chyba při otevírání sériové komunikace", 2, 0);
        char answer = 'x';
        ShowMessageWindow("Dvě\nřádky", "", 3, answer, 1);
        EXPECT_EQ(answer, kAnswerYes);
    }
    EXPECT_EQ(messagePresenter(), nullptr);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()),
              QStringLiteral("2|0|ERROR|Chyba při otevírání sériové komunikace\n"
                             "3|1|Dvě řádky|\n"));

    struct Case {
        unsigned kind;
        char answer;
    };
    const Case cases[] = {{1, kAnswerYes}, {2, kAnswerYes}, {3, kAnswerYes}, {4, kAnswerConfirmed},
                          {5, kAnswerYes}, {0, 'q'},        {6, 'q'},        {9, 'q'}};
    for (const Case& c : cases) EXPECT_EQ(defaultAnswer(c.kind, 'q'), c.answer) << c.kind;
}

TEST(TestHooksTest, PeerPortOverrideTakesOnlyAPortNumber) {
    struct Case {
        const char* text;
        std::optional<std::uint16_t> port;
    };
    const Case cases[] = {{nullptr, std::nullopt}, {"", std::nullopt},    {"10001", 10001},
                          {"65535", 65535},        {"0", std::nullopt},   {"65536", std::nullopt},
                          {"-5", std::nullopt},    {"80x", std::nullopt}, {" 80", std::nullopt}};
    for (const Case& c : cases)
        EXPECT_EQ(parseTcpPort(c.text), c.port) << (c.text ? c.text : "(null)");
}

}  // namespace
}  // namespace velor
