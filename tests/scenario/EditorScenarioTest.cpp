// The roads through the real configuration editors, answered by the test as a technician
// would: cancel the binary editor and watch the scan; send a KALU configuration with "Nastavit"
// and COM1 chosen, and watch the loop move from TCP to COM1 after the last block.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ScenarioProgram.h"
#include "comm/PortRecord.h"
#include "config/AnalogEditor.h"
#include "config/BinaryEditor.h"

namespace velor::scenario {
namespace {

// Clicks button with the real editors in place and runs answer on the modal editor once it
// shows. Gives up after about five seconds and rejects whatever dialog is modal, so a test
// never waits on a human.
template <typename Editor>
void answerEditor(Program& p, QPushButton* button, const std::function<void(Editor&)>& answer) {
    p.main().setEditorRunner([](EditorKind kind, EditorContext& context, QWidget* parent) {
        runConfigEditor(kind, context, parent);
    });
    int tries = 0;
    bool answered = false;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* editor = qobject_cast<Editor*>(QApplication::activeModalWidget());
        if (!answered && editor != nullptr && editor->isVisible()) {
            answered = true;
            answer(*editor);
            return;
        }
        // An editor that refuses to close after the answer is given up on as well.
        if (++tries < 500) return;
        timer.stop();
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "modal window left open: " << modal->objectName().toStdString();
            modal->QDialog::done(QDialog::Rejected);
        }
    });
    timer.start();
    button->click();
    timer.stop();
    EXPECT_TRUE(answered) << "no editor shown";
    p.main().setEditorRunner([](EditorKind, EditorContext&, QWidget*) {});
}

TEST(EditorScenario, CancelledBinaryEditorStartsTheScan) {
    Program p({"--module", "1:KALU", "--module", "4:TEVW"});
    ASSERT_TRUE(p.simulatorReady());
    // Before an editor has closed the loop stays dormant, however often it ticks.
    ASSERT_TRUE(p.waitLoopTicks(4, 5000));
    EXPECT_EQ(p.status(), QStringLiteral("Nastavte kanál COM"));

    answerEditor<TForm_BKonmst>(p, p.main().B_Konfig, [](TForm_BKonmst& e) { e.BitBtn2->click(); });
    EXPECT_FALSE(p.app().config.SendPending);
    const QString expected = QStringLiteral(" 1, 4,") + QString(24, ' ');
    EXPECT_TRUE(p.waitStatus([&](const QString& s) { return scanList(s) == expected; }, 15000))
        << p.status().toStdString();
    EXPECT_EQ(p.events({"\"block\""}), 0);
    EXPECT_TRUE(p.messages().calls.empty());
}

#ifdef VELOR_TEST_POSIX_FACILITIES  // the simulator's pseudo-terminal as COM1
TEST(EditorScenario, KaluSendOverTcpThenTheLoopMovesToCom1) {
    Program p({});
    ASSERT_TRUE(p.simulatorReady());
    // First road: cancel, so the loop runs over TCP.
    answerEditor<TForm_BKonmst>(p, p.main().B_Konfig, [](TForm_BKonmst& e) { e.BitBtn2->click(); });
    ASSERT_TRUE(p.waitEvents({"\"probe\"", "\"link\":\"tcp"}, 1, 5000));

    answerEditor<TForm_Konmst>(p, p.main().A_Konfig, [](TForm_Konmst& e) {
        auto* ports = e.findChild<QComboBox*>(QStringLiteral("ComboBox_45"));
        ASSERT_NE(ports, nullptr);
        ASSERT_EQ(ports->count(), 1);  // the search found COM1 only
        ports->setCurrentIndex(0);
        emit ports->activated(0);
        e.BitBtn4->click();  // "Nastavit": save, then send
    });
    ASSERT_TRUE(p.messages().calls.empty()) << p.messages().calls.front().text1;
    EXPECT_TRUE(p.app().config.SendPending);
    EXPECT_EQ(p.app().config.TargetPortNumber, 1);

    // Both halves over TCP, then channel 1 is COM1 and the scan runs over the pseudo-terminal.
    EXPECT_TRUE(
        p.waitEvents({"\"block\"", "\"addr\":1", "\"start\":128", "\"count\":192"}, 1, 8000));
    EXPECT_EQ(p.events({"\"request\"", "\"link\":\"pty\""}), 0);
    EXPECT_EQ(p.events({"\"block\"", "\"addr\":1", "\"start\":0", "\"count\":128"}), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.app().config.SendPending; }, 5000));
    EXPECT_EQ(p.app().comm.channel.ChannelTable.record(1)->PortNumber, 1);
    EXPECT_TRUE(p.waitEvents({"\"probe\"", "\"link\":\"pty\""}, 2, 8000));
    EXPECT_TRUE(
        p.waitStatus([](const QString& s) { return scanList(s).startsWith(" 1, 2,"); }, 15000))
        << p.status().toStdString();
    EXPECT_TRUE(p.messages().calls.empty());
}
#endif

}  // namespace
}  // namespace velor::scenario
