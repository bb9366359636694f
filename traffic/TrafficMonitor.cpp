#include "traffic/TrafficMonitor.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "monitor/KaluWindow.h"
#include "monitor/MainWindow.h"
#include "monitor/MokrWindow.h"
#include "monitor/TevWindow.h"
#include "monitor/TevwWindow.h"
#include "monitor/TewWindow.h"
#include "traffic/TrafficWindow.h"

namespace velor {

namespace {

// Text fields keep their own menu (copy, paste).
bool hasOwnMenu(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w);
}

bool isShortcutL(const QKeyEvent* key) {
    return key->key() == Qt::Key_L && key->modifiers() == Qt::ControlModifier;
}

bool isMenuKey(const QKeyEvent* key) {
    return key->key() == Qt::Key_Menu ||
           (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier);
}

}  // namespace

TrafficMonitor::TrafficMonitor(TrafficTap& tap, QObject* parent) : QObject(parent), tap_(tap) {
    qApp->installEventFilter(this);
}

TrafficMonitor::~TrafficMonitor() {
    if (qApp != nullptr) qApp->removeEventFilter(this);
    delete menu_;
}

bool TrafficMonitor::servesWindow(const QWidget* widget) {
    if (widget == nullptr) return false;
    const QWidget* w = widget->window();
    return dynamic_cast<const TForm_MzVyber*>(w) || dynamic_cast<const TForm_Okno*>(w) ||
           dynamic_cast<const TForm_TEV*>(w) || dynamic_cast<const TForm_TEVW*>(w) ||
           dynamic_cast<const TForm_TEW*>(w) || dynamic_cast<const TForm_MOKR*>(w);
}

TrafficWindow* TrafficMonitor::open() {
    if (!window_) window_ = std::make_unique<TrafficWindow>(tap_);
    window_->show();
    window_->raise();
    window_->activateWindow();
    return window_.get();
}

TrafficWindow* TrafficMonitor::window() const {
    return window_.get();
}

QMenu* TrafficMonitor::popupMenu(QWidget* over, const QPoint& globalPos) {
    delete menu_;
    menu_ = new QMenu(over->window());
    menu_->setAttribute(Qt::WA_DeleteOnClose);
    QAction* action = menu_->addAction(QStringLiteral("Provoz linky…"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(action, &QAction::triggered, this, [this] { open(); });
    // The other tools of the window (recording, module finder) put their actions on it.
    for (QAction* own : over->window()->actions()) menu_->addAction(own);
    menu_->popup(globalPos);
    return menu_;
}

bool TrafficMonitor::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ContextMenu) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) return false;
    if (type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (isShortcutL(key) && (servesWindow(widget) || widget->window() == window())) {
            open();
            return true;
        }
        if (isMenuKey(key) && servesWindow(widget) && !hasOwnMenu(widget)) {
            popupMenu(widget, widget->mapToGlobal(widget->rect().center()));
            return true;
        }
        return false;
    }
    if (!servesWindow(widget) || hasOwnMenu(widget)) return false;
    popupMenu(widget, static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
}

TrafficMonitorSetup::TrafficMonitorSetup(CommState& comm)
    : comm_(comm), tap_(clock_), monitor_(tap_) {
    attachTrafficTap(comm_, &tap_);
}

TrafficMonitorSetup::~TrafficMonitorSetup() {
    attachTrafficTap(comm_, nullptr);
}

std::unique_ptr<TrafficMonitorSetup> installTrafficMonitor(CommState& comm) {
    return std::make_unique<TrafficMonitorSetup>(comm);
}

}  // namespace velor
