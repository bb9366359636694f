// The "Záznam hodnot" window offscreen: one instance from the shortcut, start asking for the
// file, the live counts, the chart fed by KALU answers, the end when another window is polled,
// the picture saved as PNG.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

#include "comm/ByteCodec.h"
#include "modules/RequestBuilders.h"
#include "monitor/AppState.h"
#include "recording/RecordWindow.h"
#include "support/MessageRecorder.h"
#include "support/QtAppEnvironment.h"

namespace velor {
namespace {

struct RecordWindowTest : ::testing::Test {
    RecordWindowTest() {
        app = std::make_unique<AppState>();
        app->config.AnalogConfig.ModuleAddress = 2;
        host.resize(100, 100);
        tool = tools.add(recordingTool(*app));
        tools.attach(&host, ToolHost::Unit);
    }
    void answerKalu(float first) {
        std::vector<std::uint8_t> a(48);
        codec::putF32(a, 0, first);
        app->decoder.KaluValues[0] = first;  // as the KALU window decoded it
        app->loop.AnswerObserved({RequestKind::Kalu, app->loop.MonitoredKind, true, a, {}});
    }
    RecordWindow* open() {
        host.actions().front()->trigger();
        return recording().window();
    }
    ValueRecording& recording() { return *qobject_cast<ValueRecording*>(tool); }
    test::MessageRecorder messages;
    QTemporaryDir dir;
    std::unique_ptr<AppState> app;
    QWidget host;
    ToolSet tools;
    QObject* tool = nullptr;
};

TEST_F(RecordWindowTest, ShortcutOpensOneWindowThatRecordsAndCharts) {
    ASSERT_EQ(host.actions().size(), 1);
    EXPECT_EQ(host.actions().front()->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
    EXPECT_EQ(host.actions().front()->text(), QStringLiteral("&Záznam hodnot"));
    RecordWindow* w = open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(open(), w);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Záznam hodnot"));

    // Nothing polled yet: a message, no file dialog.
    int asked = 0;
    const QString path = dir.filePath("kalu");
    w->setFileAsker([&](const QString&, const QString&) {
        ++asked;
        return path;
    });
    w->startClicked();
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(asked, 0);

    app->loop.MonitoredKind = RequestKind::Kalu;
    w->startClicked();
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(w->recorder().recording());
    EXPECT_FALSE(w->startButton()->isEnabled());
    w->inputBox(0)->setChecked(true);
    for (int i = 0; i < 5; ++i) answerKalu(1.0f + static_cast<float>(i));
    w->refresh();
    EXPECT_TRUE(w->rowsLabel()->text().contains(QStringLiteral("řádků: 5")))
        << w->rowsLabel()->text().toStdString();
    EXPECT_EQ(w->series(0)->count(), 5);
    EXPECT_EQ(w->series(0)->at(4).y(), 5.0);
    EXPECT_EQ(w->series(1)->count(), 0);  // not ticked: not drawn

    // Paused: the chart stands while the values keep coming.
    w->pauseBox()->setChecked(true);
    answerKalu(9.0f);
    w->refresh();
    EXPECT_EQ(w->series(0)->count(), 5);
    EXPECT_EQ(w->trend().size(), 6u);

    // Another window polled: the recording ends with a note, not an error message.
    app->loop.MonitoredKind = RequestKind::Tev;
    w->refresh();
    EXPECT_FALSE(w->recorder().recording());
    EXPECT_TRUE(w->noteLabel()->text().contains(QStringLiteral("jiné okno")));
    EXPECT_EQ(messages.calls.size(), 1u);
    EXPECT_TRUE(QFile::exists(path + ".csv"));

    const QString png = dir.filePath("graf.png");
    ASSERT_TRUE(w->saveImage(png));
    EXPECT_FALSE(QImage(png).isNull());
    EXPECT_FALSE(w->saveImage(dir.filePath("chybi/graf.png")));
    EXPECT_EQ(messages.calls.size(), 2u);
}

// Closing the program's state with the window open leaves no listener behind.
TEST_F(RecordWindowTest, WindowRemovesItsListenerWhenDeleted) {
    open();
    EXPECT_TRUE(static_cast<bool>(app->loop.AnswerObserved));
    delete recording().window();
    EXPECT_EQ(recording().window(), nullptr);
    EXPECT_FALSE(static_cast<bool>(app->loop.AnswerObserved));
}

}  // namespace
}  // namespace velor
