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

namespace velor {

class TrafficTap;
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

}  // namespace velor
