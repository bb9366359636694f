#include "monitor/ModuleFinderWindow.h"

#include <QAction>
#include <QKeySequence>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "monitor/AppState.h"
#include "comm/ComConfig.h"
#include "comm/SerialPortName.h"
#include "monitor/PollingLoop.h"
#include "ui/MessageService.h"

namespace velor {

namespace {

QString answerText(const SweepAnswer& a) {
    return QStringLiteral("adresa %1   %2 Bd   parita %3   %4")
        .arg(a.point.address)
        .arg(BaudRateAt(a.point.baudIndex))
        .arg(a.point.noParity ? QStringLiteral("žádná") : QStringLiteral("sudá"))
        .arg(QString::fromStdString(AnswerKindText(a.kind)));
}

}  // namespace

TForm_Hledani::TForm_Hledani(AppState& app, QWidget* parent) : QDialog(parent), app_(app) {
    setWindowTitle(QStringLiteral("Hledání modulů"));
    createControls();
    const PortRecord& r = *app_.comm.channel.ChannelTable.record(1);
    oldPortNumber_ = r.PortNumber;
    oldPortName_ = app_.comm.channel.SelectedPortName;
    timer_ = new QTimer(this);
    timer_->setInterval(5);
    connect(timer_, &QTimer::timeout, this, &TForm_Hledani::tick);
}

TForm_Hledani::~TForm_Hledani() {
    abortSweep();
}

void TForm_Hledani::createControls() {
    auto* form = new QFormLayout;
    PortChoice = new QComboBox(this);
    PortChoice->addItem(QStringLiteral("TCP"), 0);
    for (int n = 1; n <= 9; ++n) PortChoice->addItem(QStringLiteral("COM%1").arg(n), n);
    const PortRecord& r = *app_.comm.channel.ChannelTable.record(1);
    PortChoice->setCurrentIndex(r.PortNumber <= 9 ? r.PortNumber : 0);
    form->addRow(QStringLiteral("Port:"), PortChoice);
    auto* bauds = new QHBoxLayout;
    for (std::size_t i = 0; i < BaudChecks.size(); ++i) {
        BaudChecks[i] = new QCheckBox(QString::number(BaudRates[i]), this);
        BaudChecks[i]->setChecked(true);
        bauds->addWidget(BaudChecks[i]);
    }
    form->addRow(QStringLiteral("Přenosové rychlosti:"), bauds);
    ParityChoice = new QComboBox(this);
    ParityChoice->addItems(
        {QStringLiteral("sudá i žádná"), QStringLiteral("sudá"), QStringLiteral("žádná")});
    form->addRow(QStringLiteral("Parita:"), ParityChoice);
    FromAddress = new QSpinBox(this);
    FromAddress->setRange(0, 31);
    ToAddress = new QSpinBox(this);
    ToAddress->setRange(0, 31);
    ToAddress->setValue(31);
    auto* range = new QHBoxLayout;
    range->addWidget(FromAddress);
    range->addWidget(new QLabel(QStringLiteral("až"), this));
    range->addWidget(ToAddress);
    form->addRow(QStringLiteral("Adresy:"), range);
    Timeout = new QSpinBox(this);
    Timeout->setRange(10, 5000);
    Timeout->setValue(kDefaultProbeTimeoutMs);
    Timeout->setSuffix(QStringLiteral(" ms"));
    form->addRow(QStringLiteral("Čekání na odpověď:"), Timeout);
    Answers = new QListWidget(this);
    Progress = new QProgressBar(this);
    TimeLeft = new QLabel(this);
    B_Hledat = new QPushButton(QStringLiteral("Hledat"), this);
    B_Prerusit = new QPushButton(QStringLiteral("Přerušit"), this);
    B_Pouzit = new QPushButton(QStringLiteral("Použít"), this);
    B_Zavrit = new QPushButton(QStringLiteral("Zavřít"), this);
    B_Prerusit->setEnabled(false);
    connect(B_Hledat, &QPushButton::clicked, this, &TForm_Hledani::startSweep);
    connect(B_Prerusit, &QPushButton::clicked, this, &TForm_Hledani::abortSweep);
    connect(B_Pouzit, &QPushButton::clicked, this, [this] {
        if (adoptSelected()) accept();
    });
    connect(B_Zavrit, &QPushButton::clicked, this, &TForm_Hledani::reject);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {B_Hledat, B_Prerusit, B_Pouzit, B_Zavrit}) buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Answers);
    layout->addWidget(Progress);
    layout->addWidget(TimeLeft);
    layout->addLayout(buttons);
}

SweepSettings TForm_Hledani::settingsFromControls() const {
    SweepSettings s;
    s.baudIndexes.clear();
    for (std::size_t i = 0; i < BaudChecks.size(); ++i)
        if (BaudChecks[i]->isChecked()) s.baudIndexes.push_back(static_cast<std::uint16_t>(i));
    const int parity = ParityChoice->currentIndex();
    s.noParity = parity == 1   ? std::vector<bool>{false}
                 : parity == 2 ? std::vector<bool>{true}
                               : std::vector<bool>{false, true};
    s.from = std::min(FromAddress->value(), ToAddress->value());
    s.to = std::max(FromAddress->value(), ToAddress->value());
    s.timeoutMs = static_cast<std::uint16_t>(Timeout->value());
    return s;
}

void TForm_Hledani::startSweep() {
    if (sweep_ != nullptr) return;
    ChannelState& ch = app_.comm.channel;
    const auto port = static_cast<std::uint8_t>(PortChoice->currentData().toInt());
    ch.ChannelTable.record(1)->PortNumber = port;
    if (port != 0) ch.SelectedPortName = PortDeviceName(port);
    Answers->clear();
    shown_ = 0;
    sweep_ = std::make_unique<ModuleSweep>(app_.comm, settingsFromControls());
    Progress->setRange(0, std::max(1, sweep_->total()));
    Progress->setValue(0);
    B_Hledat->setEnabled(false);
    B_Pouzit->setEnabled(false);
    B_Prerusit->setEnabled(true);
    timer_->start();
}

void TForm_Hledani::tick() {
    if (sweep_ == nullptr) return;
    const bool more = sweep_->step();
    showAnswers();
    Progress->setValue(sweep_->done());
    TimeLeft->setText(QStringLiteral("Zbývá asi %1 s").arg((sweep_->msLeft() + 999) / 1000));
    if (!more) endSweep();
}

void TForm_Hledani::showAnswers() {
    const auto& answers = sweep_->answers();
    for (; shown_ < static_cast<int>(answers.size()); ++shown_)
        Answers->addItem(answerText(answers[static_cast<std::size_t>(shown_)]));
    if (Answers->currentRow() < 0 && Answers->count() > 0) Answers->setCurrentRow(0);
}

// No further probe starts; the one on the line ends within its time-out and is collected.
void TForm_Hledani::abortSweep() {
    if (sweep_ == nullptr) return;
    sweep_->abort();
    if (sweep_->finished()) endSweep();
}

void TForm_Hledani::endSweep() {
    timer_->stop();
    if (sweep_ == nullptr) return;
    sweep_->finish();
    TimeLeft->setText(sweep_->aborted()
                          ? QStringLiteral("Přerušeno")
                          : QStringLiteral("Hotovo: %1 odpovědí").arg(sweep_->answers().size()));
    B_Hledat->setEnabled(true);
    B_Pouzit->setEnabled(Answers->count() > 0);
    B_Prerusit->setEnabled(false);
    // Kept until the engine has let go of the sweep's request.
    if (app_.comm.engine.RequestCount == 0) {
        lastAnswers_ = sweep_->answers();
        sweep_.reset();
    }
}

bool TForm_Hledani::adoptSelected() {
    const int row = Answers->currentRow();
    if (row < 0 || row >= static_cast<int>(lastAnswers_.size())) return false;
    const SweepAnswer& a = lastAnswers_[static_cast<std::size_t>(row)];
    ChannelState& ch = app_.comm.channel;
    PortRecord& r = *ch.ChannelTable.record(1);
    r.PortNumber = static_cast<std::uint8_t>(PortChoice->currentData().toInt());
    r.BaudIndex = a.point.baudIndex;
    r.NoParity = a.point.noParity ? 1 : 0;
    try {
        SaveComConfig(ch);
    } catch (const std::exception& e) {
        ShowMessageWindow(e.what(), "ERROR", 2, 0);
        return false;
    }
    oldPortNumber_ = r.PortNumber;
    oldPortName_ = ch.SelectedPortName;
    return true;
}

void TForm_Hledani::reject() {
    if (sweep_ != nullptr) return;  // "Přerušit" first
    ChannelState& ch = app_.comm.channel;
    ch.ChannelTable.record(1)->PortNumber = oldPortNumber_;
    ch.SelectedPortName = oldPortName_;
    QDialog::reject();
}

void openModuleFinder(AppState& app, PollingLoop& loop, QWidget* parent) {
    loop.editorOpening();
    {
        TForm_Hledani finder(app, parent);
        finder.exec();
    }
    loop.editorClosed();
}

void installFinderShortcut(QWidget* window, AppState& app, PollingLoop& loop) {
    auto* action = new QAction(QStringLiteral("&Hledání modulů…"), window);
    action->setObjectName(QStringLiteral("ActionModuleFinder"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, window,
                     [&app, &loop, window] { openModuleFinder(app, loop, window); });
    window->addAction(action);
}

}  // namespace velor
