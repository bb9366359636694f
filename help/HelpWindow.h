#pragma once
// "Nápověda": the Czech manual in a window of its own, at the topic of the window it was called
// from. One instance for the program, never modal except over a modal editor (a window beside
// an application-modal dialog could not be used). Contents, back and forward, find in the page.
// HelpOnF1 opens it with F1 from any window of the program.

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <utility>
#include <vector>

#include "ui/ToolSet.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;

namespace velor {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the page of a help context (the contents for an unknown one).
    void showTopic(int context);
    // The context of the page shown; 0 for a page of no topic.
    int currentContext() const;
    // Finds the text of the find field after the cursor, from the top again at the end; false
    // when the page does not hold it.
    bool findNext();

    QTextBrowser* browser() const { return browser_; }
    QLineEdit* findField() const { return findField_; }
    QPushButton* backButton() const { return back_; }
    QPushButton* forwardButton() const { return forward_; }

private:
    void buildControls();
    void addShortcuts();

    QTextBrowser* browser_ = nullptr;
    QLineEdit* findField_ = nullptr;
    QLabel* notFound_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* forward_ = nullptr;
};

// The program's one help window at a context: made at the first call, raised at later ones.
// Over an application-modal dialog the window is shown modal, so that it can be used.
HelpWindow& openHelp(int context);
// The help window when one is open (for tests and the assembly), else nullptr.
HelpWindow* openHelpWindow();

// F1 in any window of the program opens the help at that window's topic: the topic named for
// its class (setTopic), else the window's "helpContext" property, else the main window's.
class HelpOnF1 : public QObject {
    Q_OBJECT
public:
    HelpOnF1();
    ~HelpOnF1() override;
    void setTopic(const char* windowClass, int context) { topics_.insert(windowClass, context); }
    int topicOf(const QWidget* window) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QHash<QString, int> topics_;
};

// "Nápověda" as a tool of the program's windows: F1 and the context-menu entry in the host
// windows, F1 in every other window through HelpOnF1. topics: the window classes (by their
// meta-object's class name) and their help contexts.
Tool helpTool(const std::vector<std::pair<const char*, int>>& topics);

}  // namespace velor
