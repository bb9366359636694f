// How the traffic monitor is opened: Ctrl+L and the context menu (right mouse button, the Menu
// key, Shift+F10) of the program's windows, one window for all of them.

#include "traffic/TrafficMonitor.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <functional>

#include "monitor/TevWindow.h"
#include "monitor/UnitWindows.h"
#include "support/ManualClocks.h"
#include "support/QtAppEnvironment.h"
#include "traffic/TrafficWindow.h"
#include "ui/ToolSet.h"

using namespace velor;

TEST(TrafficMonitor, OpensFromShortcutAndContextMenuOfTheProgramsWindows) {
    test::ManualTrafficClock clock;
    TrafficTap tap(clock);
    TrafficMonitor monitor(tap);
    ToolSet tools;
    tools.add({{monitor.action()}, nullptr});
    UnitSelections selections;
    UnitWindows windows;
    auto* unit = new TForm_TEV(selections);
    windows.add(unit);
    tools.attach(unit, ToolHost::Unit);
    unit->show();
    const QSize size = unit->size();
    const QString caption = unit->windowTitle();

    QTest::keyClick(unit, Qt::Key_L, Qt::ControlModifier);
    TrafficWindow* traffic = monitor.window();
    ASSERT_NE(traffic, nullptr);
    EXPECT_TRUE(traffic->isVisible());
    QTest::keyClick(unit, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(monitor.window(), traffic);  // one instance
    traffic->hide();

    // Right mouse button, the Menu key and Shift+F10 each bring up the menu.
    auto menuOpens = [&](const std::function<void()>& press) {
        press();
        auto* menu = unit->findChild<QMenu*>();
        if (menu == nullptr || menu->actions().size() != 1) return false;
        EXPECT_EQ(menu->actions()[0]->text(), "Provoz &linky…");
        menu->actions()[0]->trigger();
        menu->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const bool shown = traffic->isVisible();
        traffic->hide();
        return shown;
    };
    EXPECT_TRUE(menuOpens([&] {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                unit->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(unit, &event);
    }));
    EXPECT_TRUE(menuOpens([&] { QTest::keyClick(unit, Qt::Key_Menu); }));
    EXPECT_TRUE(menuOpens([&] { QTest::keyClick(unit, Qt::Key_F10, Qt::ShiftModifier); }));
    EXPECT_EQ(unit->size(), size);
    EXPECT_EQ(unit->windowTitle(), caption);

    // Other windows are not the monitor's business.
    QWidget other;
    other.show();
    QTest::keyClick(&other, Qt::Key_L, Qt::ControlModifier);
    EXPECT_FALSE(traffic->isVisible());
}
