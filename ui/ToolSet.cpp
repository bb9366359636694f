#include "ui/ToolSet.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>
#include <utility>

namespace velor {

namespace {

// Text fields keep their own menu (copy, paste).
bool hasOwnMenu(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w);
}

bool isMenuKey(const QKeyEvent* key) {
    return key->key() == Qt::Key_Menu ||
           (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier);
}

}  // namespace

// The context menu and the shortcuts of one host window. It watches the window itself, so it
// sees the events its controls leave alone: a text field keeps its own menu.
class ToolSet::HostMenu : public QObject {
public:
    explicit HostMenu(QWidget* host) : QObject(host), host_(host) {
        host->installEventFilter(this);
    }
    ~HostMenu() override { delete menu_; }

    void add(QAction* action) { actions_.push_back(action); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != host_) return false;
        if (event->type() == QEvent::ContextMenu) {
            popup(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        if (event->type() != QEvent::KeyPress) return false;
        return keyPressed(static_cast<QKeyEvent*>(event));
    }

private:
    bool keyPressed(const QKeyEvent* key) {
        QWidget* focus = host_->focusWidget() != nullptr ? host_->focusWidget() : host_;
        if (isMenuKey(key)) {
            if (hasOwnMenu(focus)) return false;
            popup(focus->mapToGlobal(focus->rect().center()));
            return true;
        }
        // A shortcut reaches its action through the window system while the window is active;
        // a key sent to an inactive window reaches it here.
        const QKeySequence pressed(key->keyCombination());
        for (QAction* action : actions_) {
            if (action == nullptr || !action->isEnabled() || action->shortcut() != pressed)
                continue;
            action->trigger();
            return true;
        }
        return false;
    }

    void popup(const QPoint& globalPos) {
        delete menu_;
        menu_ = new QMenu(host_);
        menu_->setAttribute(Qt::WA_DeleteOnClose);
        for (QAction* action : actions_)
            if (action != nullptr) menu_->addAction(action);
        menu_->popup(globalPos);
    }

    QWidget* host_;
    std::vector<QPointer<QAction>> actions_;
    QPointer<QMenu> menu_;
};

ToolSet::~ToolSet() {
    for (const QPointer<QAction>& action : placed_) delete action.data();
    for (const Host& host : hosts_) delete host.menu.data();
    while (!keepers_.empty()) keepers_.pop_back();  // the last added goes first
}

QObject* ToolSet::add(Tool tool) {
    for (ToolAction& action : tool.actions) {
        actions_.push_back(std::move(action));
        for (const Host& host : hosts_)
            if (host.window != nullptr) attachAction(host, actions_.back());
    }
    if (!tool.keeper) return nullptr;
    keepers_.push_back(std::move(tool.keeper));
    return keepers_.back().get();
}

void ToolSet::attach(QWidget* host, ToolHost kind) {
    // Unit windows come and go; those gone are forgotten.
    std::erase_if(hosts_, [](const Host& h) { return h.window == nullptr; });
    std::erase_if(placed_, [](const QPointer<QAction>& a) { return a == nullptr; });
    hosts_.push_back({host, kind, new HostMenu(host)});
    for (const ToolAction& action : actions_) attachAction(hosts_.back(), action);
}

void ToolSet::attachAction(const Host& host, const ToolAction& action) {
    if (action.reach == ToolReach::MainWindowOnly && host.kind != ToolHost::Main) return;
    if (action.reach == ToolReach::UnitWindowsOnly && host.kind != ToolHost::Unit) return;
    QWidget* window = host.window;
    auto* a = new QAction(action.text, window);
    a->setObjectName(action.objectName);
    a->setShortcut(action.shortcut);
    a->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(a, &QAction::triggered, window,
                     [trigger = action.trigger, window] { trigger(window); });
    window->addAction(a);
    host.menu->add(a);
    placed_.push_back(a);
}

}  // namespace velor
