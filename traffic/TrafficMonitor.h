#pragma once
// How the traffic monitor is reached: Ctrl+L and a context menu (right mouse button, the Menu
// key, Shift+F10) in the main window and in every unit window open the one "Provoz linky"
// window. It watches the application's events, so the designed windows need no control, size
// or caption of their own for it.

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <memory>

class QMenu;
class QWidget;

#include "comm/CommState.h"
#include "comm/TrafficTap.h"

namespace velor {

class TrafficWindow;

class TrafficMonitor : public QObject {
    Q_OBJECT
public:
    explicit TrafficMonitor(TrafficTap& tap, QObject* parent = nullptr);
    ~TrafficMonitor() override;

    // Opens the window, or brings the open one to the front.
    TrafficWindow* open();
    TrafficWindow* window() const;
    // The context menu of a program window, shown at the global position.
    QMenu* popupMenu(QWidget* over, const QPoint& globalPos);

    // True for the main window and the unit windows (and anything inside them).
    static bool servesWindow(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TrafficTap& tap_;
    std::unique_ptr<TrafficWindow> window_;
    QPointer<QMenu> menu_;
};

// The traffic monitor of the program's run: its clock, the tap on channel 1 and the engine,
// and the opener. Detaches the tap again when it goes.
class TrafficMonitorSetup {
public:
    explicit TrafficMonitorSetup(CommState& comm);
    ~TrafficMonitorSetup();
    TrafficMonitorSetup(const TrafficMonitorSetup&) = delete;
    TrafficMonitorSetup& operator=(const TrafficMonitorSetup&) = delete;

    TrafficTap& tap() { return tap_; }
    TrafficMonitor& monitor() { return monitor_; }

private:
    CommState& comm_;
    SystemTrafficClock clock_;
    TrafficTap tap_;
    TrafficMonitor monitor_;
};

// Records channel 1 from now on and lets Ctrl+L and the context menu of the program's windows
// open "Provoz linky".
std::unique_ptr<TrafficMonitorSetup> installTrafficMonitor(CommState& comm);

}  // namespace velor
