#pragma once
// How the traffic monitor is reached: Ctrl+L and the entry "Provoz linky…" of the context menu
// of the program's windows open the one "Provoz linky" window; Ctrl+L in it brings it to the
// front.

#include <QObject>
#include <memory>

#include "comm/CommState.h"
#include "comm/TrafficTap.h"
#include "ui/ToolSet.h"

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
    // "Provoz linky…" with Ctrl+L in every host window.
    ToolAction action();

private:
    TrafficTap& tap_;
    std::unique_ptr<TrafficWindow> window_;
};

// The traffic monitor of the program's run: its clock, the tap on channel 1 and the engine,
// and the opener. Detaches the tap again when it goes.
class TrafficMonitorSetup : public QObject {
    Q_OBJECT
public:
    explicit TrafficMonitorSetup(CommState& comm);
    ~TrafficMonitorSetup() override;

    TrafficTap& tap() { return tap_; }
    TrafficMonitor& monitor() { return monitor_; }

private:
    CommState& comm_;
    SystemTrafficClock clock_;
    TrafficTap tap_;
    TrafficMonitor monitor_;
};

// "Provoz linky" as a tool of the program's windows: records channel 1 from now on.
Tool trafficMonitorTool(CommState& comm);

}  // namespace velor
