// The main window TForm_MzVyber offscreen: its controls, the unit buttons, and the real
// configuration editors answered from a timer while they run modally.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "comm/TransferEngine.h"
#include "config/AnalogEditor.h"
#include "config/BinaryEditor.h"
#include "config/ConfigFiles.h"
#include "monitor/AppState.h"
#include "monitor/KaluWindow.h"
#include "monitor/MainWindow.h"
#include "monitor/MokrWindow.h"
#include "monitor/TevWindow.h"
#include "monitor/TevwWindow.h"
#include "monitor/TewWindow.h"
#include "support/MessageRecorder.h"
#include "support/QtAppEnvironment.h"
#include "support/TextFits.h"
#include "ui/Cp1250.h"
#include "ui/FieldBinding.h"
#include "ui/ToolSet.h"

namespace velor {
namespace {

// Keeps every started request with the engine; the test only looks at what was queued.
struct HeldWindows : TransferWindowFactory {
    std::vector<std::vector<std::uint8_t>> started;
    void createWindow(TransferRequest& r) override {
        started.emplace_back(r.Buffer.begin(), r.Buffer.begin() + r.Length);
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        saved = QDir::currentPath();
        QDir::setCurrent(dir.path());
        setFormEndHook([] { ADD_FAILURE() << "form definition error"; });
        app.config.WorkDirectory = dir.path().toStdString();
        app.comm.channel.ComConfigPath = dir.filePath("COM.CFG").toStdString();
        // Serial names lead to devices that do not exist: no real port is ever touched.
        app.comm.channel.resolvePort = [this](const std::string& name) {
            opened.push_back(name);
            return dir.filePath("missing-" + QString::fromStdString(name)).toStdString();
        };
        app.comm.engine.Windows = &held;
        // The entry's order: the window first, then the configuration.
        window = std::make_unique<TForm_MzVyber>(app, channel, tools);
        window->Timer1->stop();  // the test ticks by hand
        LoadAnalogConfig(app.config, app.comm.channel);
        LoadBinaryConfig(app.config, app.comm.channel);
        rec.calls.clear();
        window->editorContext().searchPorts = [](ChannelState& c) {
            c.FoundPorts = {"COM2", "COM5"};
            c.PortSearchPending = false;
        };
    }

    void TearDown() override {
        window.reset();
        setFormEndHook({});
        QDir::setCurrent(saved);
    }

    PortRecord& channel1() { return *app.comm.channel.ChannelTable.record(1); }
    QString status() const { return window->E_Stav->text(); }

    // Runs `answer` on the modal editor once it is shown (bounded: at most ~5 s of retries,
    // then the modal dialog is rejected so the test cannot hang).
    template <typename Editor>
    void answerEditor(std::function<void(Editor&)> answer) {
        answerTries = 0;
        answerTimer.disconnect();
        answerTimer.setInterval(10);
        QObject::connect(&answerTimer, &QTimer::timeout, [this, answer] {
            auto* editor = qobject_cast<Editor*>(QApplication::activeModalWidget());
            if (editor != nullptr && editor->isVisible()) {
                answerTimer.stop();
                answer(*editor);
                return;
            }
            if (++answerTries < 500) return;
            answerTimer.stop();
            ADD_FAILURE() << "no editor shown";
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                modal->reject();
        });
        answerTimer.start();
    }

    static void choose(QWidget& form, const char* name, int index) {
        auto* combo = form.findChild<QComboBox*>(QString::fromLatin1(name));
        ASSERT_NE(combo, nullptr) << name;
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    test::MessageRecorder rec;
    QTemporaryDir dir;
    QString saved;
    HeldWindows held;
    std::vector<std::string> opened;
    AppState app;
    ChannelAdapter channel{app.comm.channel};
    ToolSet tools;
    std::unique_ptr<TForm_MzVyber> window;
    QTimer answerTimer;
    int answerTries = 0;
};

TEST_F(MainWindowTest, ControlsCaptionsAndClientSize) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Výběr zobrazení"));
    EXPECT_EQ(window->size(), QSize(261, 440));
    EXPECT_EQ(window->PanelSize->pos(), QPoint(261, 440));
    EXPECT_FALSE(window->PanelSize->isVisibleTo(window.get()));
    EXPECT_FALSE(window->L_Err->isVisibleTo(window.get()));
    EXPECT_TRUE(window->E_Stav->isReadOnly());
    EXPECT_EQ(window->Timer1->interval(), 50);
    EXPECT_FALSE(window->Label1->text().isEmpty());
    struct Case {
        const char* name;
        const char* caption;
    };
    const Case cases[] = {{"B_Monit1", "Jednotka  TE&V"},
                          {"B_Monit2", "Jednotka  T&EVW"},
                          {"B_Monit4", "Jednotka  TE&W"},
                          {"B_MonitF", "Jednotka  M&OKR"},
                          {"B_Monit3", "Jednotka  K&ALU"},
                          {"B_Konfig", "&TEV,TEW,TEVW,MOKR"},
                          {"A_Konfig", "KALU"},
                          {"B_Exit", "&Konec"}};
    int lastTop = -1;
    for (const Case& c : cases) {
        auto* b = window->findChild<QPushButton*>(QString::fromLatin1(c.name));
        ASSERT_NE(b, nullptr) << c.name;
        EXPECT_EQ(b->text(), QString::fromUtf8(c.caption)) << c.name;
        EXPECT_GT(b->y(), lastTop) << c.name << " out of order";
        lastTop = b->y();
    }
    EXPECT_EQ(window->Label3->text(), QStringLiteral("Konfigurace"));
    EXPECT_EQ(window->Label2->text(), QStringLiteral("TARNIX Line 2"));
    // Created before COM.CFG is read: the start-up port name is COM0.
    EXPECT_EQ(app.comm.channel.SelectedPortName, "COM0");
    EXPECT_TRUE(app.comm.channel.PortSearchPending);
}

// Every text the main window shows is whole at its designed size with the fonts it gets here
// (the DejaVu faces the package depends on): the status line with ten modules found, the
// longest protocol errors, the captions and labels.
TEST_F(MainWindowTest, EveryDesignedTextFitsItsControl) {
    window->show();
    EXPECT_EQ(window->size(), QSize(261, 440));
    const QFontMetrics status(window->E_Stav->font());
    for (const char* text :
         {"> 31< 22,23,24,25,26,27,28,29,30,31,", ">  9<  0, 1, 2, 3, 4, 5, 6, 7, 8, 9,",
          "          >.....................<", "Nastavte kanál COM", "Chyba přenosu",
          "Vyhledávám: COM9", "Konfigurace  KALU.1", "Komunikace - MOKR"}) {
        EXPECT_LE(status.horizontalAdvance(QString::fromUtf8(text)),
                  lineEditTextRoom(*window->E_Stav))
            << text;
    }
    const QFontMetrics error(window->L_Err->font());
    for (const char* text : {"FC=2 Neznámá komunikační šlužba", "FC=9 Blok/Data nedostupná",
                             "FC=0x0c nespravne zadane parametry"}) {
        EXPECT_LE(error.horizontalAdvance(QString::fromUtf8(text)),
                  window->L_Err->contentsRect().width())
            << text;
    }
    test::ExpectTextsFit(*window);
}

TEST_F(MainWindowTest, UnitButtonsOpenTheirWindowsAndTheLastOneIsPolled) {
    app.config.BinaryConfig.Inputs[0].Name = utf8ToCp1250("Čerpadlo_sever");  // 14 characters
    app.config.BinaryConfig.Inputs[1].Name = "Ven";
    struct Case {
        QPushButton* button;
        RequestKind kind;
    };
    const Case cases[] = {{window->B_Monit2, RequestKind::Tevw},
                          {window->B_Monit1, RequestKind::Tev},
                          {window->B_Monit4, RequestKind::Tew},
                          {window->B_MonitF, RequestKind::Mokr},
                          {window->B_Monit3, RequestKind::Kalu}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button->objectName().toStdString());
        c.button->click();
        EXPECT_EQ(app.loop.MonitoredKind, c.kind);
        EXPECT_TRUE(window->units().isOpen(c.kind));
    }
    // Every window stays open; the labels carry the names cut or padded to ten characters.
    EXPECT_TRUE(window->units().tev()->isVisible());
    EXPECT_TRUE(window->units().tevw()->isVisible());
    EXPECT_EQ(window->units().tev()->inputLabel(1)->text(), QStringLiteral("Čerpadlo_s"));
    EXPECT_EQ(window->units().tev()->inputLabel(2)->text(), QStringLiteral("Ven       "));
    EXPECT_EQ(window->units().kalu()->outputLabel(0)->text(), QStringLiteral("OUT č.  0  "));

    // Reopening a window reuses it.
    TForm_TEV* tev = window->units().tev();
    window->B_Monit1->click();
    EXPECT_EQ(window->units().tev(), tev);
    EXPECT_EQ(app.loop.MonitoredKind, RequestKind::Tev);

    // No editor has been closed yet: nothing is polled.
    window->Timer1Timer();
    EXPECT_EQ(status(), QStringLiteral("Nastavte kanál COM"));
    EXPECT_TRUE(held.started.empty());
}

// Opening a window that is already open puts it back on set 1, unfiltered: its two mode
// buttons must say so at once, not only after the next answer.
TEST_F(MainWindowTest, ReopenedWindowsNameTheSetAndFilterInForce) {
    const std::vector<std::pair<QPushButton*, std::function<QWidget*()>>> cases = {
        {window->B_Monit1, [this] { return static_cast<QWidget*>(window->units().tev()); }},
        {window->B_Monit2, [this] { return static_cast<QWidget*>(window->units().tevw()); }},
        {window->B_MonitF, [this] { return static_cast<QWidget*>(window->units().mokr()); }}};
    for (const auto& [button, unit] : cases) {
        SCOPED_TRACE(button->objectName().toStdString());
        button->click();
        ASSERT_NE(unit(), nullptr);
        auto* set = unit()->findChild<QPushButton*>(QStringLiteral("BitBtn1"));
        auto* filter = unit()->findChild<QPushButton*>(QStringLiteral("BitBtn2"));
        ASSERT_NE(set, nullptr);
        ASSERT_NE(filter, nullptr);
        set->click();     // set 1 -> 2
        filter->click();  // filtered
        ASSERT_NE(set->text(), QStringLiteral("Sestupná &hrana"));
        button->click();
        EXPECT_EQ(set->text(), QStringLiteral("Sestupná &hrana"));
        EXPECT_EQ(filter->text(), QStringLiteral("Filtrovaný &vstup"));
    }
}

// A MOKR window opened again on input board 2 names inputs 17..24, whose counters it shows.
TEST_F(MainWindowTest, ReopenedMokrWindowNamesTheInputsOfItsBoard) {
    for (int n = 1; n <= 64; ++n)
        app.config.BinaryConfig.Inputs.at(static_cast<std::size_t>(n - 1)).Name =
            "IN" + std::to_string(n);
    window->B_MonitF->click();
    ASSERT_NE(window->units().mokr(), nullptr);
    EXPECT_EQ(window->units().mokr()->inputLabel(1)->text().trimmed(), QStringLiteral("IN1"));
    app.selections.MokrInputPiggy = 2;
    window->B_MonitF->click();
    EXPECT_EQ(window->units().mokr()->inputLabel(1)->text().trimmed(), QStringLiteral("IN17"));
    EXPECT_EQ(window->units().mokr()->inputLabel(8)->text().trimmed(), QStringLiteral("IN24"));
}

// Ending the program is closing the main window, by "&Konec" or by the window system, whatever
// unit windows are open: every one of them closes and the event loop ends. A guard timer
// closes everything after 3 s so that a window left open fails the test instead of hanging it.
TEST_F(MainWindowTest, ClosingTheMainWindowEndsTheProgramWithEveryUnitWindowOpen) {
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"Konec", [this] { window->B_Exit->click(); }},
        {"window system", [this] { window->close(); }}};
    for (const auto& [way, closeMain] : ways) {
        SCOPED_TRACE(way);
        window->show();
        window->B_Monit2->click();
        window->B_Monit1->click();
        window->B_Monit4->click();
        window->B_MonitF->click();
        window->B_Monit3->click();
        window->Timer1->start();
        bool guardFired = false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&guardFired] {
            guardFired = true;
            for (QWidget* w : QApplication::topLevelWidgets()) w->close();
        });
        guard.start(3000);
        QTimer::singleShot(0, closeMain);
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_FALSE(guardFired) << "the program went on after its main window closed";
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(window->Timer1->isActive());
        for (const RequestKind kind : {RequestKind::Kalu, RequestKind::Tev, RequestKind::Tew,
                                       RequestKind::Tevw, RequestKind::Mokr})
            EXPECT_FALSE(window->units().isOpen(kind));
        EXPECT_EQ(app.loop.MonitoredKind, kMonitoredNone);
    }
}

TEST_F(MainWindowTest, CancelledBinaryEditorStartsTheLoopOverThePortOfTheTable) {
    channel1().PortNumber = 3;  // loaded after the window was created: the name says COM0
    const QByteArray comBefore = [this] {
        QFile f(dir.filePath("COM.CFG"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    window->Timer1Timer();
    EXPECT_EQ(status(), QStringLiteral("Nastavte kanál COM"));

    answerEditor<TForm_BKonmst>([](TForm_BKonmst& e) {
        choose(e, "ComboBox_40", 1);
        e.BitBtn2->click();  // "&Zrušit"
    });
    window->B_Konfig->click();

    EXPECT_TRUE(rec.calls.empty());
    EXPECT_TRUE(app.loop.ChannelReady);
    EXPECT_TRUE(app.loop.ReopenPending);
    EXPECT_TRUE(window->Timer1->isActive());
    EXPECT_EQ(status(), QStringLiteral("          >.....................<"));
    EXPECT_FALSE(app.config.SendPending);
    EXPECT_EQ(channel1().PortNumber, 3);
    QFile f(dir.filePath("COM.CFG"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), comBefore);

    // The next tick reopens the port the table names, then probes address 0.
    window->Timer1->stop();
    opened.clear();
    window->Timer1Timer();
    EXPECT_EQ(opened, std::vector<std::string>{"COM3"});
    EXPECT_FALSE(app.loop.ReopenPending);
}

// "Nastavit - K&ALU" with another port and baud rate: the blocks go out over the old settings
// (port 3, index 3), the new ones wait as the target until the last block is accepted.
TEST_F(MainWindowTest, KaluSendGoesOutOverTheOldSettings) {
    channel1().PortNumber = 3;
    channel1().BaudIndex = 3;
    answerEditor<TForm_Konmst>([](TForm_Konmst& e) {
        choose(e, "ComboBox_45", 1);  // COM5
        choose(e, "ComboBox_46", 1);  // 9600 Bd
        e.BitBtn4->click();
    });
    window->A_Konfig->click();

    EXPECT_TRUE(rec.calls.empty());
    EXPECT_TRUE(app.config.SendPending);
    EXPECT_EQ(app.config.TargetPortNumber, 5);
    EXPECT_EQ(app.config.TargetBaudIndex, 1);
    EXPECT_EQ(channel1().PortNumber, 3);
    EXPECT_EQ(channel1().BaudIndex, 3);
    EXPECT_EQ(status(), QStringLiteral("          >.....................<"));

    window->Timer1->stop();
    opened.clear();
    window->Timer1Timer();
    EXPECT_EQ(opened, std::vector<std::string>{"COM3"});
    EXPECT_EQ(app.comm.channel.SelectedPortName, "COM3");
    ASSERT_EQ(held.started.size(), 1u);
    const std::vector<std::uint8_t>& block = held.started[0];
    ASSERT_GE(block.size(), 3u);
    EXPECT_EQ(block[1], 0x40);
    EXPECT_EQ(block[2], 0x6C);
    // The module already learns the rate it will be spoken to at: index 1 is code 9.
    ASSERT_GE(block.size(), 10u);
    EXPECT_EQ(block[9], 9);
}

TEST_F(MainWindowTest, FailingEditorStopsTheLoopWithTheGuardMessage) {
    window->setEditorRunner(
        [](EditorKind, EditorContext&, QWidget*) { throw std::runtime_error("broken"); });
    window->A_Konfig->click();
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].text1, "Chyba při otevření formuláře");
    EXPECT_EQ(rec.calls[0].text2, "");
    EXPECT_EQ(rec.calls[0].kind, 2u);
    EXPECT_EQ(rec.calls[0].iconSet, 1);
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_FALSE(app.loop.ChannelReady);
}

}  // namespace
}  // namespace velor
