#pragma once
// The tools of the program's windows (the traffic monitor, the value recording, the module
// finder, ...). A tool offers actions: a caption for the context menu and a shortcut. The
// program's assembly adds every tool once; each host window (the main window, a unit window)
// takes all of them with one call to attach(). The designed windows get no control, size or
// caption of their own for it: the shortcuts act anywhere in the window, and the context menu
// (right mouse button, the Menu key, Shift+F10) lists the actions.

#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QWidget;

namespace velor {

// What kind of window a host is.
enum class ToolHost { Main, Unit };

// Which hosts offer an action.
enum class ToolReach { EveryWindow, MainWindowOnly, UnitWindowsOnly };

struct ToolAction {
    QString text;           // the context-menu entry, with its & mnemonic
    QKeySequence shortcut;  // acts anywhere in a host window
    QString objectName;     // the name of the action in each host window
    ToolReach reach = ToolReach::EveryWindow;
    // Runs in the host window the action was triggered in.
    std::function<void(QWidget* host)> trigger;
};

// A tool as the assembly adds it: its actions and the object it keeps for the program's run
// (its window, its tap), if any.
struct Tool {
    std::vector<ToolAction> actions;
    std::unique_ptr<QObject> keeper;
};

class ToolSet {
public:
    ToolSet() = default;
    ToolSet(const ToolSet&) = delete;
    ToolSet& operator=(const ToolSet&) = delete;
    // Takes the actions out of the hosts still open, then frees the tools' objects.
    ~ToolSet();

    // Adds a tool; the hosts attached already take its actions at once. Returns its keeper.
    QObject* add(Tool tool);
    // Gives host the actions of every tool, now and later, and the context menu listing them.
    void attach(QWidget* host, ToolHost kind);

    // The keeper of the given type, nullptr when no tool kept one.
    template <class T>
    T* find() const {
        for (const auto& k : keepers_)
            if (auto* t = qobject_cast<T*>(k.get())) return t;
        return nullptr;
    }

private:
    class HostMenu;
    struct Host {
        QPointer<QWidget> window;
        ToolHost kind;
        QPointer<HostMenu> menu;
    };
    void attachAction(const Host& host, const ToolAction& action);

    std::vector<ToolAction> actions_;
    std::vector<std::unique_ptr<QObject>> keepers_;
    std::vector<Host> hosts_;
    std::vector<QPointer<QAction>> placed_;
};

}  // namespace velor
