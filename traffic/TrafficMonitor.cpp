#include "traffic/TrafficMonitor.h"

#include <QAction>

#include "traffic/TrafficWindow.h"

namespace velor {

TrafficMonitor::TrafficMonitor(TrafficTap& tap, QObject* parent) : QObject(parent), tap_(tap) {}

TrafficMonitor::~TrafficMonitor() = default;

TrafficWindow* TrafficMonitor::open() {
    if (!window_) {
        window_ = std::make_unique<TrafficWindow>(tap_);
        // Ctrl+L in the monitor itself brings it to the front, as in the program's windows.
        auto* again = new QAction(window_.get());
        again->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
        again->setShortcutContext(Qt::WindowShortcut);
        connect(again, &QAction::triggered, this, [this] { open(); });
        window_->addAction(again);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    return window_.get();
}

TrafficWindow* TrafficMonitor::window() const {
    return window_.get();
}

ToolAction TrafficMonitor::action() {
    return {QStringLiteral("Provoz &linky…"), QKeySequence(Qt::CTRL | Qt::Key_L),
            QStringLiteral("ActionTraffic"), ToolReach::EveryWindow, [this](QWidget*) { open(); }};
}

TrafficMonitorSetup::TrafficMonitorSetup(CommState& comm)
    : comm_(comm), tap_(clock_), monitor_(tap_) {
    attachTrafficTap(comm_, &tap_);
}

TrafficMonitorSetup::~TrafficMonitorSetup() {
    attachTrafficTap(comm_, nullptr);
}

Tool trafficMonitorTool(CommState& comm) {
    auto setup = std::make_unique<TrafficMonitorSetup>(comm);
    Tool tool;
    tool.actions.push_back(setup->monitor().action());
    tool.keeper = std::move(setup);
    return tool;
}

}  // namespace velor
