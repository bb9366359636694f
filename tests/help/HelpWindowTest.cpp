// "Nápověda": every topic has its page in the program, every link and picture of the manual
// leads somewhere, the one window opens at the caller's topic, goes back and forward, finds in
// the page, and F1 opens it from any window, also over a modal dialog.

#include <gtest/gtest.h>

#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <set>

#include "help/HelpTopics.h"
#include "help/HelpWindow.h"
#include "support/QtAppEnvironment.h"

namespace velor {
namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtAppEnvironment);

QString resourceOf(std::string_view page) {
    return QStringLiteral(":/help/") + QString::fromUtf8(page.data(), qsizetype(page.size()));
}

QString readPage(std::string_view page) {
    QFile f(resourceOf(page));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

struct HelpWindowTest : ::testing::Test {
    HelpWindowTest() {
        // Opening the window registers the resource.
        openHelp(kHelpContents).close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    ~HelpWindowTest() override {
        if (HelpWindow* w = openHelpWindow()) delete w;
    }
};

TEST_F(HelpWindowTest, EveryTopicLinkAndPictureOfTheManualIsInTheProgram) {
    std::set<int> contexts;
    const QRegularExpression links(QStringLiteral(R"(\]\(([^)#]+)\))"));
    for (const HelpTopic& t : helpTopics()) {
        EXPECT_TRUE(contexts.insert(t.context).second) << t.context;
        const QString text = readPage(t.page);
        ASSERT_FALSE(text.isEmpty()) << t.page;
        EXPECT_TRUE(text.startsWith(QStringLiteral("# "))) << t.page;
        for (const auto& m : links.globalMatch(text)) {
            EXPECT_TRUE(QFile::exists(QStringLiteral(":/help/") + m.captured(1)))
                << t.page << " -> " << m.captured(1).toStdString();
        }
    }
    for (int designed : {kHelpMainWindow, kHelpKalu, kHelpAnalogEditor, kHelpBinaryEditor})
        EXPECT_TRUE(contexts.count(designed)) << designed;
    EXPECT_EQ(std::string(kHelpFileName), "Velor.HLP");
}

TEST_F(HelpWindowTest, ManualTellsTheDormantStartAndEveryDesignedMessage) {
    EXPECT_TRUE(readPage(helpPage(kHelpFirstRun)).contains(QStringLiteral("Nastavte kanál COM")));
    const QString messages = readPage(helpPage(kHelpMessages));
    for (const char* text :
         {"Aplikace již byla jednou spuštěna.", "Chyba při otevírání sériové komunikace",
          "Nesprávný konfigurační soubor", "Neplatné zadání", "Překročen povolený rozsah u položky",
          "Chyba při zpracování dat", "Chyba definice formulare"})
        EXPECT_TRUE(messages.contains(QString::fromUtf8(text))) << text;
}

TEST_F(HelpWindowTest, OneWindowAtTheCallersTopicWithBackAndForward) {
    HelpWindow& first = openHelp(kHelpKalu);
    EXPECT_EQ(first.windowTitle(), QStringLiteral("Nápověda"));
    EXPECT_EQ(first.currentContext(), kHelpKalu);
    EXPECT_TRUE(first.browser()->toPlainText().contains(QStringLiteral("Jednotka KALU")));
    EXPECT_FALSE(first.isModal());

    HelpWindow& second = openHelp(kHelpAnalogEditor);
    EXPECT_EQ(&second, &first);
    EXPECT_EQ(second.currentContext(), kHelpAnalogEditor);
    ASSERT_TRUE(second.backButton()->isEnabled());
    second.backButton()->click();
    EXPECT_EQ(second.currentContext(), kHelpKalu);
    second.forwardButton()->click();
    EXPECT_EQ(second.currentContext(), kHelpAnalogEditor);

    // The pictures of the page are there, not broken-image placeholders.
    openHelp(kHelpKalu);
    const QVariant image = first.browser()->document()->resource(
        QTextDocument::ImageResource, QUrl(QStringLiteral("qrc:/help/img/unit-kalu.png")));
    EXPECT_FALSE(image.isNull());

    // An unknown context shows the contents.
    EXPECT_EQ(openHelp(999).currentContext(), kHelpContents);
}

TEST_F(HelpWindowTest, FindsInThePageFromTheTopAgainAndSaysWhenNot) {
    HelpWindow& w = openHelp(kHelpAnalogEditor);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.findField()->hasFocus(); }, 2000));
    QTest::keyClicks(w.findField(), QStringLiteral("modul"));
    const int onPage =
        int(w.browser()->toPlainText().count(QStringLiteral("modul"), Qt::CaseInsensitive));
    ASSERT_GT(onPage, 2);
    EXPECT_TRUE(w.findNext());
    const int firstHit = w.browser()->textCursor().position();
    // Each hit once; past the last one the search starts at the top again.
    int hits = 1;
    while (w.findNext() && w.browser()->textCursor().position() != firstHit && hits < 100) ++hits;
    EXPECT_EQ(hits, onPage);
    EXPECT_EQ(w.browser()->textCursor().position(), firstHit);
    w.findField()->setText(QStringLiteral("xyzzy"));
    EXPECT_FALSE(w.findNext());
}

TEST_F(HelpWindowTest, F1OpensTheTopicOfTheActiveWindowAlsoOverAModalDialog) {
    HelpOnF1 f1;
    QDialog editor;
    editor.setObjectName(QStringLiteral("Editor"));
    editor.setProperty("helpContext", kHelpBinaryEditor);
    editor.setWindowModality(Qt::ApplicationModal);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    QTest::keyClick(&editor, Qt::Key_F1);
    HelpWindow* help = openHelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->currentContext(), kHelpBinaryEditor);
    // Usable beside the modal editor.
    EXPECT_TRUE(help->isModal());
    help->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    editor.close();

    // A class named by the assembly wins; in the help window F1 explains the help.
    QWidget unit;
    f1.setTopic("QWidget", kHelpTew);
    unit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&unit));
    QTest::keyClick(&unit, Qt::Key_F1);
    ASSERT_NE(openHelpWindow(), nullptr);
    EXPECT_EQ(openHelpWindow()->currentContext(), kHelpTew);
    EXPECT_FALSE(openHelpWindow()->isModal());
    QTest::keyClick(openHelpWindow()->browser(), Qt::Key_F1);
    EXPECT_EQ(openHelpWindow()->currentContext(), kHelpHelp);
}

}  // namespace
}  // namespace velor
