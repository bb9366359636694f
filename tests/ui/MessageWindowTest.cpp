#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "support/QtAppEnvironment.h"
#include "ui/MessageWindow.h"
#include "ui/ProgressWindow.h"

namespace velor {
namespace {

// Runs `act` on the message window once its modal loop shows it (bounded: 200 tries, 10 ms apart).
void whenShown(TForm_Msg& w, std::function<void()> act, int tries = 200) {
    QTimer::singleShot(10, &w, [&w, act, tries] {
        if (w.isVisible()) {
            act();
        } else if (tries > 0) {
            whenShown(w, act, tries - 1);
        }
    });
}

struct Shown {
    QString caption;
    QStringList buttons;
    QStringList images;
};

Shown shownParts(TForm_Msg& w) {
    Shown s{w.windowTitle(), {}, {}};
    for (auto* b : w.findChildren<QPushButton*>()) {
        if (!b->isHidden()) s.buttons << b->objectName();
    }
    for (QLabel* i : {w.Image_1, w.Image_2, w.Image_3}) {
        if (!i->isHidden()) s.images << i->objectName();
    }
    s.buttons.sort();
    return s;
}

class MessageWindowTest : public ::testing::Test {
protected:
    ProgressState progress;
    std::unique_ptr<TForm_Msg> window = installMessageWindow(progress);
};

TEST_F(MessageWindowTest, KindsShowTheirButtonsAndGiveTheirAnswers) {
    const struct {
        unsigned kind;
        const char* press;  // a button, or "close" for the close box
        char answer;
        const char* caption;
        QStringList buttons;
    } cases[] = {
        {2, "BitBtn_1", 'A', "Informace", {"BitBtn_1"}},
        {2, "close", 'N', "Informace", {"BitBtn_1"}},
        {3, "BitBtn_2", 'A', "Dotaz", {"BitBtn_2", "BitBtn_3"}},
        {3, "BitBtn_3", 'N', "Dotaz", {"BitBtn_2", "BitBtn_3"}},
        {3, "close", 'N', "Dotaz", {"BitBtn_2", "BitBtn_3"}},
        {4, "BitBtn_1", 'E', "Informace", {"BitBtn_1"}},
        {4, "close", 0, "Informace", {"BitBtn_1"}},
        {5, "BitBtn_4", 'A', "Dotaz", {"BitBtn_4", "BitBtn_5", "BitBtn_6"}},
        {5, "BitBtn_5", 'N', "Dotaz", {"BitBtn_4", "BitBtn_5", "BitBtn_6"}},
        {5, "BitBtn_6", 27, "Dotaz", {"BitBtn_4", "BitBtn_5", "BitBtn_6"}},
        {5, "close", 27, "Dotaz", {"BitBtn_4", "BitBtn_5", "BitBtn_6"}},
    };
    for (const auto& c : cases) {
        Shown seen;
        const QString press = c.press;
        whenShown(*window, [&] {
            seen = shownParts(*window);
            if (press == "close") {
                window->close();
            } else {
                window->findChild<QPushButton*>(press)->click();
            }
        });
        char answer = '?';
        ShowMessageWindow("Text", "more", c.kind, answer, 0);
        EXPECT_EQ(answer, c.answer) << c.kind << " " << c.press;
        EXPECT_EQ(seen.caption, c.caption) << c.kind;
        EXPECT_EQ(seen.buttons, c.buttons) << c.kind;
        EXPECT_FALSE(window->isVisible());
    }
}

TEST_F(MessageWindowTest, EscapeOnAThreeButtonQuestionCancels) {
    whenShown(*window, [&] { QTest::keyClick(window.get(), Qt::Key_Escape); });
    char answer = '?';
    ShowMessageWindow("Uložit?", "", 5, answer, 0);
    EXPECT_EQ(answer, 27);
}

TEST_F(MessageWindowTest, SymbolsTextAndSize) {
    const struct {
        unsigned kind;
        std::uint8_t iconSet;
        QStringList images;
    } cases[] = {
        {3, 0, {"Image_3"}}, {5, 0, {"Image_3"}}, {2, 0, {"Image_1"}}, {1, 0, {"Image_1"}},
        {2, 1, {"Image_2"}}, {3, 1, {"Image_2"}}, {2, 2, {}},          {3, 7, {}},
    };
    for (const auto& c : cases) {
        Shown seen;
        whenShown(*window, [&] {
            seen = shownParts(*window);
            window->close();
        });
        ShowMessageWindow("a", "b", c.kind, c.iconSet);
        EXPECT_EQ(seen.images, c.images) << c.kind << "/" << int(c.iconSet);
    }
    EXPECT_EQ(window->Label_1->text(), "a\n b");

    // Kinds above 6 fill the window without showing it; the answer stays.
    char answer = 'x';
    const std::string long1(255, 'x');
    ShowMessageWindow(long1, "lost", 7, answer, 0);
    EXPECT_EQ(answer, 'x');
    EXPECT_EQ(window->Label_1->text(), QString::fromStdString(long1));
    ShowMessageWindow(std::string(250, 'y'), "Žluť", 9, answer, 0);
    EXPECT_EQ(window->Label_1->text(), QString(250, 'y') + "\n " + QString::fromUtf8("Žlu"));

    EXPECT_EQ(window->size(), QSize(495, 147));
    EXPECT_EQ(window->Label_1->size(), QSize(420, 58));
    const QImage info = messageSymbol(1).toImage();
    EXPECT_EQ(info.size(), QSize(34, 34));
    EXPECT_EQ(info.pixelColor(0, 0), QColor(192, 192, 192));
    EXPECT_EQ(info.pixelColor(8, 17), QColor(0, 0, 128));
    EXPECT_EQ(messageSymbol(2).toImage().pixelColor(8, 17), QColor(255, 255, 0));
    EXPECT_EQ(messageSymbol(3).toImage().pixelColor(8, 17), QColor(0, 128, 0));
}

TEST_F(MessageWindowTest, NoticeClosesItselfAfterThreeSeconds) {
    // Safety net: close it after 8 s should the timer never fire.
    QTimer::singleShot(8000, window.get(), [&] { window->close(); });
    QElapsedTimer clock;
    clock.start();
    char answer = 'N';
    ShowMessageWindow("Hotovo", "", 1, answer, 0);
    EXPECT_EQ(answer, 'A');
    EXPECT_GE(clock.elapsed(), 2900);
    EXPECT_LT(clock.elapsed(), 7000);
    EXPECT_FALSE(window->Timer1->isActive());
}

TEST_F(MessageWindowTest, ProgressKindsOpenAHiddenProgressWindow) {
    for (unsigned kind : {0u, 6u}) {
        char answer = 'q';
        ShowMessageWindow("Probíhá", "Přenos", kind, answer, 0);
        EXPECT_EQ(answer, 'q');
        ASSERT_NE(progress.current, nullptr);
        EXPECT_FALSE(progress.current->isVisible());
        EXPECT_TRUE(progress.current->Button->isHidden());
        EXPECT_EQ(progress.current->windowTitle(), QString::fromUtf8("Přenos"));
        EXPECT_EQ(progress.current->Label_101->text(), QString::fromUtf8("Probíhá\n Přenos"));
    }
    EXPECT_EQ(progress.windows.size(), 2u);
    EXPECT_FALSE(progress.ProgressAbort);
}

TEST_F(MessageWindowTest, InstalledWindowIsRemovedWithIt) {
    EXPECT_EQ(messagePresenter(), window.get());
    window.reset();
    EXPECT_EQ(messagePresenter(), nullptr);
}

TEST(ProgressWindow, GaugeStepsAndInterrupts) {
    ProgressState state;
    OpenProgress(state, "Kopíruji", "Přenos", 3, 1);
    TForm_Prubeh* w = state.current;
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->Button->isHidden());
    EXPECT_EQ(w->Button->text(), QString::fromUtf8("&Přerušit"));
    EXPECT_EQ(w->size(), QSize(396, 189));
    EXPECT_EQ(w->Gauge1->maximum(), 3);
    EXPECT_EQ(w->Gauge1->value(), 1);  // opening steps once
    for (int i = 0; i < 5; ++i) StepProgress(state);
    EXPECT_EQ(w->Gauge1->value(), 3);
    EXPECT_FALSE(state.ProgressAbort);

    // Other mouse events are swallowed; a left press interrupts.
    QCoreApplication::postEvent(w, new QMouseEvent(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5),
                                                   Qt::NoButton, Qt::NoButton, Qt::NoModifier));
    StepProgress(state);
    EXPECT_FALSE(state.ProgressAbort);
    QCoreApplication::postEvent(
        w, new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                           Qt::LeftButton, Qt::NoModifier));
    StepProgress(state);
    EXPECT_TRUE(state.ProgressAbort);

    state.ProgressAbort = false;
    w->Button->click();
    EXPECT_TRUE(state.ProgressAbort);

    OpenProgress(state, "", "", 10, 2);
    EXPECT_NE(state.current, w);
    EXPECT_EQ(state.windows.size(), 2u);
    EXPECT_EQ(state.current->Gauge1->value(), 1);
    StepProgress(state);  // every second call advances the gauge
    EXPECT_EQ(state.current->Gauge1->value(), 1);
    StepProgress(state);
    EXPECT_EQ(state.current->Gauge1->value(), 2);

    OpenProgress(state, "", "", 10, 0);
    EXPECT_EQ(state.current->Gauge1->value(), 0);
}

}  // namespace
}  // namespace velor
