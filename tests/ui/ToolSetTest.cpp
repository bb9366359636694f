// The tools of the program's windows: every host takes the actions of every tool, added before
// or after it; the context menu lists them; the shortcuts act in the host.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "support/QtAppEnvironment.h"
#include "ui/ToolSet.h"

namespace velor {
namespace {

struct Opened {
    std::vector<std::string> log;
    ToolAction action(const char* name, QKeySequence key, ToolReach reach) {
        return {QString::fromLatin1(name), key, QString::fromLatin1(name), reach,
                [this, name](QWidget* host) {
                    log.push_back(std::string(name) + "@" + host->objectName().toStdString());
                }};
    }
};

QStringList menuTexts(QWidget& host) {
    QStringList texts;
    if (auto* menu = host.findChild<QMenu*>()) {
        for (const QAction* a : menu->actions()) texts << a->text();
        menu->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return texts;
}

TEST(ToolSet, EveryHostTakesTheToolsAddedBeforeAndAfterIt) {
    Opened opened;
    ToolSet tools;
    QWidget main;
    main.setObjectName("main");
    tools.add({{opened.action("A", QKeySequence(Qt::CTRL | Qt::Key_L), ToolReach::EveryWindow)},
               nullptr});
    tools.attach(&main, ToolHost::Main);
    QWidget unit;
    unit.setObjectName("unit");
    tools.attach(&unit, ToolHost::Unit);
    tools.add({{opened.action("B", QKeySequence(Qt::CTRL | Qt::Key_R), ToolReach::EveryWindow),
                opened.action("C", QKeySequence(Qt::CTRL | Qt::Key_F), ToolReach::MainWindowOnly)},
               nullptr});

    ASSERT_EQ(main.actions().size(), 3);
    ASSERT_EQ(unit.actions().size(), 2);  // C is the main window's only
    EXPECT_EQ(main.actions()[2]->objectName(), "C");
    EXPECT_EQ(unit.actions()[1]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));

    // The windows are not active: the keys reach the host and trigger its actions.
    QTest::keyClick(&unit, Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(&unit, Qt::Key_F, Qt::ControlModifier);  // not a tool of this host
    QTest::keyClick(&main, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(opened.log, (std::vector<std::string>{"B@unit", "C@main"}));
}

TEST(ToolSet, ContextMenuListsTheToolsAndTextFieldsKeepTheirOwn) {
    Opened opened;
    ToolSet tools;
    tools.add({{opened.action("A", QKeySequence(Qt::CTRL | Qt::Key_L), ToolReach::EveryWindow),
                opened.action("B", QKeySequence(Qt::CTRL | Qt::Key_R), ToolReach::EveryWindow)},
               nullptr});
    QWidget host;
    auto* button = new QPushButton(QStringLiteral("OK"), &host);
    auto* edit = new QLineEdit(&host);
    tools.attach(&host, ToolHost::Unit);
    host.show();

    // A click on a control without a menu of its own reaches the window.
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(2, 2),
                            button->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(button, &click);
    EXPECT_EQ(menuTexts(host), (QStringList{"A", "B"}));
    QTest::keyClick(button, Qt::Key_Menu);
    EXPECT_EQ(menuTexts(host), (QStringList{"A", "B"}));
    QTest::keyClick(&host, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(menuTexts(host), (QStringList{"A", "B"}));

    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Menu);
    EXPECT_TRUE(menuTexts(host).isEmpty());
    EXPECT_TRUE(opened.log.empty());
}

class Kept : public QObject {
public:
    explicit Kept(std::vector<int>& gone, int id) : gone_(gone), id_(id) {}
    ~Kept() override { gone_.push_back(id_); }

private:
    std::vector<int>& gone_;
    int id_;
};

TEST(ToolSet, GoingTakesTheActionsAndFreesTheToolsLastFirst) {
    std::vector<int> gone;
    Opened opened;
    QWidget host;
    auto closed = std::make_unique<QWidget>();
    {
        ToolSet tools;
        tools.attach(&host, ToolHost::Main);
        tools.attach(closed.get(), ToolHost::Unit);
        QObject* first = tools.add({{opened.action("A", QKeySequence(), ToolReach::EveryWindow)},
                                    std::make_unique<Kept>(gone, 1)});
        tools.add({{}, std::make_unique<Kept>(gone, 2)});
        EXPECT_EQ(tools.find<QObject>(), first);
        closed.reset();  // a unit window closed before the program ends
        EXPECT_EQ(host.actions().size(), 1);
    }
    EXPECT_TRUE(host.actions().isEmpty());
    EXPECT_EQ(gone, (std::vector<int>{2, 1}));
}

}  // namespace
}  // namespace velor
