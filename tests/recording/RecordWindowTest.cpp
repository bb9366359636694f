// The "Záznam hodnot" window offscreen: one instance from the shortcut, start asking for the
// file, the live counts, the chart fed by KALU answers, the end when another window is polled,
// the picture saved as PNG.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDateTimeAxis>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QValueAxis>
#include <cmath>
#include <memory>

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
        DecodeResult shown;  // as the KALU window was given it
        shown.decoded = true;
        shown.kalu.numbers[0] = first;
        app->loop.AnswerObserved({RequestKind::Kalu, app->loop.MonitoredKind, true, &shown, {}});
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

// "Spustit" after "Zastavit", or after another window was polled, goes on in the same file;
// a file whose columns do not fit is never overwritten unasked: the user is asked for another.
TEST_F(RecordWindowTest, StartingAgainKeepsTheEarlierRecording) {
    RecordWindow* w = open();
    int asked = 0;
    QString next = dir.filePath("kalu.csv");
    w->setFileAsker([&](const QString&, const QString&) {
        ++asked;
        return next;
    });
    app->loop.MonitoredKind = RequestKind::Kalu;
    w->startClicked();
    answerKalu(1.0f);
    answerKalu(2.0f);
    w->stopClicked();
    w->startClicked();
    answerKalu(3.0f);
    w->stopClicked();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(messages.calls.empty());
    QFile file(dir.filePath("kalu.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray kept = file.readAll();
    file.close();
    EXPECT_EQ(kept.count("Čas;Adresa"), 1);
    EXPECT_EQ(kept.count("\r\n"), 4);  // the header and three rows

    // The TEV window is polled now: its columns differ. "Ne" starts nothing, "Ano" asks for
    // another file; the KALU recording stays as it was.
    app->loop.MonitoredKind = RequestKind::Tev;
    messages.queueAnswer(kAnswerNo);
    w->startClicked();
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].kind, 3u);
    EXPECT_EQ(messages.calls[0].text1, "Soubor " + dir.filePath("kalu.csv").toStdString() +
                                           " obsahuje jiné sloupce, než má tento záznam.");
    EXPECT_EQ(messages.calls[0].text2, "Zvolit pro záznam jiný soubor?");
    EXPECT_FALSE(w->recorder().recording());
    EXPECT_EQ(asked, 1);

    next = dir.filePath("tev");
    messages.queueAnswer(kAnswerYes);
    w->startClicked();
    EXPECT_EQ(asked, 2);
    ASSERT_TRUE(w->recorder().recording());
    EXPECT_EQ(w->recorder().path(), dir.filePath("tev.csv"));
    w->stopClicked();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), kept);
}

// Opened while a KALU is polled: real times on the axis and a hint what to tick; twelve colours
// told apart; value ticks at round numbers.
TEST_F(RecordWindowTest, ChartShowsWhatToTickTwelveColoursAndRoundTicks) {
    app->loop.MonitoredKind = RequestKind::Kalu;
    RecordWindow* w = open();
    EXPECT_TRUE(w->hintLabel()->isVisibleTo(w));
    EXPECT_EQ(w->hintLabel()->text(),
              QStringLiteral("Zaškrtněte vstupy, jejichž průběh se má kreslit."));
    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_GE(w->timeAxis()->max(), now);
    EXPECT_LE(w->timeAxis()->max(), now.addSecs(60));

    for (int i = 0; i < kTrendInputs; ++i)
        for (int j = i + 1; j < kTrendInputs; ++j) {
            const QColor a = w->series(i)->color();
            const QColor b = w->series(j)->color();
            const int distance = std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                                 std::abs(a.blue() - b.blue());
            EXPECT_GT(distance, 80)
                << i << " " << j << " " << a.name().toStdString() << " " << b.name().toStdString();
        }

    w->inputBox(0)->setChecked(true);
    EXPECT_FALSE(w->hintLabel()->isVisibleTo(w));
    for (float v : {2.3f, 30.0f, 64.9f}) answerKalu(v);
    w->refresh();
    const QValueAxis* axis = w->valueAxis();
    ASSERT_GE(axis->tickCount(), 2);
    EXPECT_LE(axis->min(), 2.3);
    EXPECT_GE(axis->max(), 64.9);
    const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
    const double unit = std::pow(10.0, std::floor(std::log10(step)));
    const double mantissa = step / unit;
    EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                std::abs(mantissa - 2.5) < 1e-9 || std::abs(mantissa - 5) < 1e-9)
        << step;
    const double first = axis->min() / step;
    EXPECT_NEAR(first, std::round(first), 1e-9) << axis->min();
}

// Another KALU polled: its first answer is marked on the time axis, and the saved picture
// names the module, the date and the span.
TEST_F(RecordWindowTest, AChangedModuleIsMarkedAndThePictureSaysWhatItShows) {
    app->loop.MonitoredKind = RequestKind::Kalu;
    RecordWindow* w = open();
    w->inputBox(0)->setChecked(true);
    answerKalu(1.0f);
    answerKalu(2.0f);
    w->refresh();
    EXPECT_FALSE(w->markLine(0)->isVisible());
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    app->config.AnalogConfig.ModuleAddress = 3;
    answerKalu(7.0f);
    w->refresh();
    QLineSeries* mark = w->markLine(0);
    ASSERT_TRUE(mark->isVisible());
    ASSERT_EQ(mark->count(), 2);
    EXPECT_GE(mark->at(0).x(), static_cast<double>(before));
    EXPECT_EQ(mark->at(0).x(), mark->at(1).x());
    EXPECT_TRUE(mark->name().startsWith(QStringLiteral("modul 3 od ")))
        << mark->name().toStdString();
    EXPECT_FALSE(w->markLine(1)->isVisible());

    const QString title = w->imageTitle();
    const QString date = w->timeAxis()->min().toString(QStringLiteral("d.M.yyyy"));
    EXPECT_TRUE(title.startsWith(QStringLiteral("Záznam hodnot – KALU, adresa 3, ") + date))
        << title.toStdString();
    EXPECT_TRUE(title.contains(QStringLiteral(" až "))) << title.toStdString();
    const QString png = dir.filePath("graf.png");
    ASSERT_TRUE(w->saveImage(png));
    const QImage saved(png);
    EXPECT_GT(saved.height(), w->chartImage().height() - 1);
    // The title line above the chart holds dark text on white.
    bool dark = false;
    for (int y = 0; y < saved.height() / 20 && !dark; ++y)
        for (int x = 0; x < saved.width() && !dark; ++x) dark = qGray(saved.pixel(x, y)) < 100;
    EXPECT_TRUE(dark);
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
