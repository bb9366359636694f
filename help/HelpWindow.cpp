#include "help/HelpWindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QTextCursor>
#include <QUrl>
#include <QVBoxLayout>

#include "help/HelpTopics.h"

// The manual's resource lives in a static library: its registration has to be asked for.
static void initHelpResource() {
    Q_INIT_RESOURCE(help);
}

namespace velor {

namespace {

constexpr int kWidth = 760;
constexpr int kHeight = 620;

QPointer<HelpWindow>& theWindow() {
    static QPointer<HelpWindow> window;
    return window;
}

QUrl pageUrl(int context) {
    return QUrl(QString::fromLatin1(kHelpResourceRoot) +
                QString::fromUtf8(helpPage(context).data(),
                                  static_cast<qsizetype>(helpPage(context).size())));
}

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    initHelpResource();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Nápověda"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    addShortcuts();
    resize(kWidth, kHeight);
}

void HelpWindow::buildControls() {
    auto* contents = new QPushButton(QStringLiteral("&Obsah"), this);
    back_ = new QPushButton(QStringLiteral("&Zpět"), this);
    forward_ = new QPushButton(QStringLiteral("&Vpřed"), this);
    findField_ = new QLineEdit(this);
    findField_->setObjectName(QStringLiteral("FindField"));
    auto* findLabel = new QLabel(QStringLiteral("&Hledat:"), this);
    findLabel->setBuddy(findField_);
    notFound_ = new QLabel(this);
    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(false);
    back_->setEnabled(false);
    forward_->setEnabled(false);

    auto* bar = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(contents), static_cast<QWidget*>(back_),
                       static_cast<QWidget*>(forward_)})
        bar->addWidget(w);
    bar->addStretch();
    bar->addWidget(findLabel);
    bar->addWidget(findField_);
    bar->addWidget(notFound_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(browser_);

    connect(contents, &QPushButton::clicked, this, [this] { showTopic(kHelpContents); });
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);
    connect(findField_, &QLineEdit::returnPressed, this, &HelpWindow::findNext);
}

void HelpWindow::addShortcuts() {
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        findField_->setFocus();
        findField_->selectAll();
    });
    connect(new QShortcut(QKeySequence::FindNext, this), &QShortcut::activated, this,
            &HelpWindow::findNext);
    connect(new QShortcut(QKeySequence::Back, this), &QShortcut::activated, browser_,
            &QTextBrowser::backward);
    connect(new QShortcut(QKeySequence::Forward, this), &QShortcut::activated, browser_,
            &QTextBrowser::forward);
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, &QWidget::close);
}

void HelpWindow::showTopic(int context) {
    notFound_->clear();
    browser_->setSource(pageUrl(context));
}

int HelpWindow::currentContext() const {
    return helpContextOfPage(browser_->source().toString().toStdString()).value_or(0);
}

bool HelpWindow::findNext() {
    const QString text = findField_->text();
    notFound_->clear();
    if (text.isEmpty()) return false;
    if (browser_->find(text)) return true;
    // From the top again: the page may hold it above the cursor.
    browser_->moveCursor(QTextCursor::Start);
    if (browser_->find(text)) return true;
    notFound_->setText(QStringLiteral("nenalezeno"));
    return false;
}

HelpWindow& openHelp(int context) {
    QPointer<HelpWindow>& window = theWindow();
    if (window.isNull()) window = new HelpWindow;
    QWidget* modal = QApplication::activeModalWidget();
    const Qt::WindowModality wanted =
        modal != nullptr && modal != window ? Qt::ApplicationModal : Qt::NonModal;
    if (window->windowModality() != wanted) {
        // Modality changes only while the window is hidden.
        window->hide();
        window->setWindowModality(wanted);
    }
    window->showTopic(context);
    window->show();
    window->raise();
    window->activateWindow();
    return *window;
}

HelpWindow* openHelpWindow() {
    return theWindow().data();
}

HelpOnF1::HelpOnF1() {
    qApp->installEventFilter(this);
}

HelpOnF1::~HelpOnF1() {
    if (qApp != nullptr) qApp->removeEventFilter(this);
}

int HelpOnF1::topicOf(const QWidget* window) const {
    if (window == nullptr) return kHelpMainWindow;
    const auto named = topics_.constFind(QString::fromLatin1(window->metaObject()->className()));
    if (named != topics_.constEnd()) return *named;
    const QVariant own = window->property("helpContext");
    return own.isValid() ? own.toInt() : kHelpMainWindow;
}

bool HelpOnF1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1) return false;
    const QWidget* window = static_cast<QWidget*>(watched)->window();
    openHelp(window == openHelpWindow() ? kHelpHelp : topicOf(window));
    return true;
}

Tool helpTool(const std::vector<std::pair<const char*, int>>& topics) {
    auto f1 = std::make_unique<HelpOnF1>();
    for (const auto& [windowClass, context] : topics) f1->setTopic(windowClass, context);
    HelpOnF1* topicsOf = f1.get();
    Tool tool;
    tool.actions.push_back({QStringLiteral("&Nápověda"), QKeySequence(Qt::Key_F1),
                            QStringLiteral("ActionHelp"), ToolReach::EveryWindow,
                            [topicsOf](QWidget* host) { openHelp(topicsOf->topicOf(host)); }});
    tool.keeper = std::move(f1);
    return tool;
}

}  // namespace velor
