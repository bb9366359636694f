#include "finder/ModuleFinderWindow.h"

#include <QKeySequence>

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "comm/ComConfig.h"
#include "comm/FileStore.h"
#include "comm/SerialPortName.h"
#include "config/ConfigFiles.h"
#include "ui/Cp1250.h"
#include "ui/MessageService.h"

namespace velor {

namespace {

// The port list's entries: TCP is 0, COMn is n, a serial device given by its path is this.
constexpr int kDevicePort = -1;
constexpr int kDevicePathRole = Qt::UserRole + 1;

QString answerKindName(AnswerKind kind) {
    switch (kind) {
        case AnswerKind::Ack:
            return QStringLiteral("E5");
        case AnswerKind::Frame:
            return QStringLiteral("rámec");
        case AnswerKind::ShortFrame:
            return QStringLiteral("krátký rámec");
        case AnswerKind::WrongReply:
            return QStringLiteral("chybná odpověď");
    }
    return QStringLiteral("?");
}

// A second line of its own, so the answer's line stays short.
const QString kBothParitiesLine =
    QStringLiteral("\n      (odpovídá při obou paritách – paritu nelze rozlišit)");

QString answerText(const std::vector<SweepAnswer>& answers, std::size_t i, bool tcp) {
    const SweepAnswer& a = answers[i];
    if (tcp)
        return QStringLiteral("adresa %1   TCP   %2")
            .arg(a.point.address)
            .arg(answerKindName(a.kind));
    QString text = QStringLiteral("adresa %1   %2 Bd   parita %3   %4")
                       .arg(a.point.address)
                       .arg(baudRateAt(a.point.baudIndex))
                       .arg(a.point.noParity ? QStringLiteral("žádná") : QStringLiteral("sudá"))
                       .arg(answerKindName(a.kind));
    if (answeredAtBothParities(answers, i)) text += kBothParitiesLine;
    return text;
}

// The answer list is wide enough for the longest line an answer can have, so none is cut.
int answerListWidth(const QListWidget& list) {
    const QFontMetrics metrics(list.font());
    const int widest = std::max(metrics.horizontalAdvance(QStringLiteral(
                                    "adresa 31   57600 Bd   parita žádná   chybná odpověď")),
                                metrics.horizontalAdvance(QString(kBothParitiesLine).mid(1)));
    const int scrollBar = list.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return widest + scrollBar + 2 * list.frameWidth() + 4 * metrics.averageCharWidth();
}

// Why the device may not be opened and what the user can do about it.
QString accessRemedy(const SerialDevice& d) {
    if (d.access.problem == PortAccess::Problem::InUse)
        return QStringLiteral("používá ho jiný program: ukončete ho, pak stiskněte Obnovit");
    if (d.access.problem != PortAccess::Problem::NoPermission)
        return QStringLiteral("nelze otevřít: ") + QString::fromStdString(d.access.remedy);
    const QString group =
        d.access.group.empty() ? QStringLiteral("dialout") : QString::fromStdString(d.access.group);
    return QStringLiteral(
               "bez přístupu: přidejte se do skupiny %1 (sudo usermod -aG %1 $USER), "
               "pak se odhlaste a znovu přihlaste; nebo nainstalujte pravidlo udev "
               "z balíčku programu")
        .arg(group);
}

QString deviceText(const SerialDevice& d) {
    QString text = QString::fromStdString(d.device);
    if (!d.description.empty())
        text += QStringLiteral("   „%1“").arg(QString::fromStdString(d.description));
    if (d.hasUsbIds) text += QStringLiteral("   USB %1").arg(QString::fromStdString(usbIdsText(d)));
    if (!d.serialNumber.empty())
        text += QStringLiteral("   sériové číslo %1").arg(QString::fromStdString(d.serialNumber));
    if (!d.byIdPath.empty())
        text += QStringLiteral("\n      ") + QString::fromStdString(d.byIdPath);
    if (!d.access.accessible) text += QStringLiteral("\n      ") + accessRemedy(d);
    return text;
}

// How the sweep ended; a sweep cut short by a lost port never reads as done.
QString endText(const ModuleSweep& sweep) {
    const auto found = static_cast<qulonglong>(sweep.answers().size());
    if (sweep.aborted()) return QStringLiteral("Přerušeno");
    if (sweep.portLost())
        return QStringLiteral("Port se ztratil, hledání nedokončeno (%1 z %2 dotazů, %3 odpovědí)")
            .arg(sweep.done())
            .arg(sweep.total())
            .arg(found);
    if (sweep.unopenedSettings() > 0)
        return QStringLiteral("Port nelze otevřít (%1 nastavení vynecháno), %2 odpovědí")
            .arg(sweep.unopenedSettings())
            .arg(found);
    return QStringLiteral("Hotovo: %1 odpovědí").arg(found);
}

QString canonical(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).canonicalFilePath();
}

}  // namespace

ModuleFinderWindow::ModuleFinderWindow(CommState& comm, ConfigState& config, QWidget* parent)
    : QDialog(parent), comm_(comm), config_(config) {
    setWindowTitle(QStringLiteral("Hledání modulů"));
    createControls();
    const PortRecord& r = *comm_.channel.ChannelTable.record(1);
    oldPortNumber_ = r.PortNumber;
    oldPortName_ = comm_.channel.SelectedPortName;
    timer_ = new QTimer(this);
    timer_->setInterval(5);
    connect(timer_, &QTimer::timeout, this, &ModuleFinderWindow::tick);
}

ModuleFinderWindow::~ModuleFinderWindow() {
    closeAfterSweep_ = false;
    abortSweep();
    restoreResolver();
}

void ModuleFinderWindow::createControls() {
    auto* form = new QFormLayout;
    PortChoice = new QComboBox(this);
    PortChoice->addItem(QStringLiteral("TCP"), 0);
    for (int n = 1; n <= 9; ++n) PortChoice->addItem(QStringLiteral("COM%1").arg(n), n);
    const PortRecord& r = *comm_.channel.ChannelTable.record(1);
    PortChoice->setCurrentIndex(r.PortNumber <= 9 ? r.PortNumber : 0);
    form->addRow(QStringLiteral("&Port:"), PortChoice);
    auto* bauds = new QHBoxLayout;
    for (std::size_t i = 0; i < BaudChecks.size(); ++i) {
        BaudChecks[i] = new QCheckBox(QString::number(BaudRates[i]), this);
        BaudChecks[i]->setChecked(true);
        bauds->addWidget(BaudChecks[i]);
    }
    auto* baudLabel = new QLabel(QStringLiteral("Přenosové r&ychlosti:"), this);
    baudLabel->setBuddy(BaudChecks[0]);
    form->addRow(baudLabel, bauds);
    ParityChoice = new QComboBox(this);
    ParityChoice->addItems(
        {QStringLiteral("sudá i žádná"), QStringLiteral("sudá"), QStringLiteral("žádná")});
    form->addRow(QStringLiteral("Pa&rita:"), ParityChoice);
    FromAddress = new QSpinBox(this);
    FromAddress->setRange(0, 31);
    ToAddress = new QSpinBox(this);
    ToAddress->setRange(0, 31);
    ToAddress->setValue(31);
    auto* range = new QHBoxLayout;
    range->addWidget(FromAddress);
    auto* upTo = new QLabel(QStringLiteral("&až"), this);
    upTo->setBuddy(ToAddress);
    range->addWidget(upTo);
    range->addWidget(ToAddress);
    auto* rangeLabel = new QLabel(QStringLiteral("A&dresy:"), this);
    rangeLabel->setBuddy(FromAddress);
    form->addRow(rangeLabel, range);
    Timeout = new QSpinBox(this);
    Timeout->setRange(10, 5000);
    Timeout->setValue(kDefaultProbeTimeoutMs);
    Timeout->setSuffix(QStringLiteral(" ms"));
    form->addRow(QStringLiteral("Čekání na &odpověď:"), Timeout);
    // TCP has no baud rate or parity to sweep.
    const auto lineControls = [this] {
        const bool serial = PortChoice->currentData().toInt() != 0;
        for (QCheckBox* b : BaudChecks) b->setEnabled(serial);
        ParityChoice->setEnabled(serial);
    };
    lineControls();
    connect(PortChoice, &QComboBox::currentIndexChanged, this, lineControls);
    Answers = new QListWidget(this);
    Answers->setMinimumWidth(answerListWidth(*Answers));
    Progress = new QProgressBar(this);
    TimeLeft = new QLabel(this);
    B_Hledat = new QPushButton(QStringLiteral("&Hledat"), this);
    B_Prerusit = new QPushButton(QStringLiteral("Př&erušit"), this);
    B_Pouzit = new QPushButton(QStringLiteral("Po&užít"), this);
    B_Zavrit = new QPushButton(QStringLiteral("&Zavřít"), this);
    B_Prerusit->setEnabled(false);
    B_Pouzit->setEnabled(false);
    connect(Answers, &QListWidget::currentRowChanged, this, &ModuleFinderWindow::updatePouzit);
    connect(B_Hledat, &QPushButton::clicked, this, &ModuleFinderWindow::startSweep);
    connect(B_Prerusit, &QPushButton::clicked, this, &ModuleFinderWindow::abortSweep);
    connect(B_Pouzit, &QPushButton::clicked, this, [this] {
        if (adoptSelected()) accept();
    });
    connect(B_Zavrit, &QPushButton::clicked, this, &ModuleFinderWindow::reject);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {B_Hledat, B_Prerusit, B_Pouzit, B_Zavrit}) buttons->addWidget(b);
    // Top to bottom, and Tab in the same order: where to look, the devices, what answered,
    // what to do with it.
    auto* answersLabel = new QLabel(QStringLiteral("Nalezené odpo&vědi:"), this);
    answersLabel->setBuddy(Answers);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(createDeviceControls());
    layout->addWidget(answersLabel);
    layout->addWidget(Answers);
    layout->addWidget(Progress);
    layout->addWidget(TimeLeft);
    layout->addLayout(buttons);
    QWidget* order[] = {PortChoice,    BaudChecks[0], BaudChecks[1], BaudChecks[2], BaudChecks[3],
                        BaudChecks[4], ParityChoice,  FromAddress,   ToAddress,     Timeout,
                        Devices,       ComChoice,     B_Priradit,    B_Obnovit,     Answers,
                        B_Hledat,      B_Prerusit,    B_Pouzit,      B_Zavrit};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

QWidget* ModuleFinderWindow::createDeviceControls() {
    auto* box = new QGroupBox(QStringLiteral("&Sériová zařízení počítače"), this);
    Devices = new QListWidget(box);
    ComChoice = new QComboBox(box);
    for (int n = 1; n <= 9; ++n) ComChoice->addItem(QStringLiteral("COM%1").arg(n), n);
    B_Priradit = new QPushButton(box);
    B_Obnovit = new QPushButton(QStringLiteral("O&bnovit"), box);
    B_Priradit->setEnabled(false);
    const auto caption = [this] {
        B_Priradit->setText(QStringLiteral("Př&iřadit jako %1").arg(ComChoice->currentText()));
    };
    caption();
    connect(ComChoice, &QComboBox::currentIndexChanged, this, caption);
    connect(Devices, &QListWidget::currentRowChanged, this,
            [this](int row) { B_Priradit->setEnabled(row >= 0); });
    connect(B_Priradit, &QPushButton::clicked, this, &ModuleFinderWindow::assignSelectedDevice);
    connect(B_Obnovit, &QPushButton::clicked, this,
            [this] { showSerialDevices(listSerialDevices()); });
    auto* row = new QHBoxLayout;
    auto* comLabel = new QLabel(QStringLiteral("Port &COM:"), box);
    comLabel->setBuddy(ComChoice);
    row->addWidget(comLabel);
    row->addWidget(ComChoice);
    row->addWidget(B_Priradit);
    row->addStretch();
    row->addWidget(B_Obnovit);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(Devices);
    layout->addLayout(row);
    if (!comEntriesInWorkingDirectory()) {
        // The system numbers its COM ports itself: nothing to assign here.
        ComChoice->hide();
        B_Priradit->hide();
        auto* note = new QLabel(
            QStringLiteral("Čísla portů COM přiděluje systém. Číslo portu změníte ve Správci "
                           "zařízení: Porty (COM a LPT), vlastnosti portu, Nastavení portu, "
                           "Upřesnit."),
            box);
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    return box;
}

void ModuleFinderWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!devicesListed_) showSerialDevices(listSerialDevices());
}

void ModuleFinderWindow::showSerialDevices(std::vector<SerialDevice> devices) {
    devicesListed_ = true;
    devices_ = std::move(devices);
    Devices->clear();
    for (const SerialDevice& d : devices_) Devices->addItem(deviceText(d));
    if (devices_.empty()) Devices->addItem(QStringLiteral("Žádné sériové zařízení"));
    Devices->setCurrentRow(-1);
    B_Priradit->setEnabled(false);
    labelPortChoice();
    listDevicePorts();
}

// Every listed device may be swept as it is, without a COMn entry leading to it.
void ModuleFinderWindow::listDevicePorts() {
    const QString chosen = PortChoice->currentData(kDevicePathRole).toString();
    for (int i = PortChoice->count() - 1; i >= 0; --i)
        if (PortChoice->itemData(i).toInt() == kDevicePort) PortChoice->removeItem(i);
    for (const SerialDevice& d : devices_) {
        // A device that is itself COM1..COM9 of the system is in the list already.
        if (const int n = portNumberOfName(d.device); n >= 1 && n <= 9) continue;
        const QString path = QString::fromStdString(linkTargetOf(d));
        PortChoice->addItem(QString::fromStdString(d.device), kDevicePort);
        PortChoice->setItemData(PortChoice->count() - 1, path, kDevicePathRole);
        if (path == chosen) PortChoice->setCurrentIndex(PortChoice->count() - 1);
    }
}

// "COM3 – /dev/ttyUSB0 „FT232R USB UART“" for every COMn that leads to a found device.
void ModuleFinderWindow::labelPortChoice() {
    const PortResolver& resolve = comm_.channel.resolvePort;
    for (int i = 0; i < PortChoice->count(); ++i) {
        const int n = PortChoice->itemData(i).toInt();
        if (n < 1) continue;
        QString text = QStringLiteral("COM%1").arg(n);
        const QString target = resolve ? canonical(resolve(PortDeviceName(n))) : QString();
        for (const SerialDevice& d : devices_) {
            if (target.isEmpty() || canonical(d.device) != target) continue;
            text += QStringLiteral(" – ") + QString::fromStdString(d.device);
            if (!d.description.empty())
                text += QStringLiteral(" „%1“").arg(QString::fromStdString(d.description));
            break;
        }
        PortChoice->setItemText(i, text);
    }
}

bool ModuleFinderWindow::assignSelectedDevice() {
    const int row = Devices->currentRow();
    if (row < 0 || row >= static_cast<int>(devices_.size())) return false;
    return assignDevice(linkTargetOf(devices_[static_cast<std::size_t>(row)]));
}

bool ModuleFinderWindow::assignDevice(const std::string& target) {
    const std::string name = PortDeviceName(ComChoice->currentData().toInt());
    std::error_code problem;
    ComLinkResult result = makeComLink(name, target, false, problem);
    if (result == ComLinkResult::Exists) {
        char answer = kAnswerNo;
        ShowMessageWindow(name + " v pracovním adresáři už vede jinam.",
                          "Nahradit odkazem na " + target + "?", 3, answer, 0);
        if (answer != kAnswerYes) return false;
        result = makeComLink(name, target, true, problem);
    }
    if (result == ComLinkResult::NotALink) {
        ShowMessageWindow(name + " v pracovním adresáři není odkaz, ale soubor.",
                          "Nenahrazuji ho; přejmenujte nebo smažte ho sám.", 2, 1);
        return false;
    }
    if (result == ComLinkResult::Failed) {
        // Our Czech words first, the system's own after them.
        ShowMessageWindow("Odkaz " + name + " nelze vytvořit.",
                          writeFailureReason({FileError::Cause::System, problem.value()}) + " (" +
                              problem.message() + ").",
                          2, 1);
        return false;
    }
    labelPortChoice();
    return true;
}

SweepSettings ModuleFinderWindow::settingsFromControls() const {
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

void ModuleFinderWindow::startSweep() {
    if (sweep_ != nullptr) return;
    ChannelState& ch = comm_.channel;
    const int choice = PortChoice->currentData().toInt();
    sweptChoice_ = choice;
    sweptDevicePath_ = PortChoice->currentData(kDevicePathRole).toString();
    // A device given by its path stands in for COM1 while the sweep runs.
    const auto port = static_cast<std::uint8_t>(choice == kDevicePort ? 1 : choice);
    ch.ChannelTable.record(1)->PortNumber = port;
    if (port != 0) ch.SelectedPortName = PortDeviceName(port);
    if (choice == kDevicePort) {
        savedResolver_ = ch.resolvePort;
        ch.resolvePort = [path = sweptDevicePath_.toStdString()](const std::string&) {
            return path;
        };
    }
    Answers->clear();
    lastAnswers_.clear();
    shown_ = 0;
    sweep_ = std::make_unique<ModuleSweep>(comm_, settingsFromControls());
    Progress->setRange(0, std::max(1, sweep_->total()));
    Progress->setValue(0);
    B_Hledat->setEnabled(false);
    B_Pouzit->setEnabled(false);
    B_Prerusit->setEnabled(true);
    timer_->start();
}

void ModuleFinderWindow::tick() {
    if (sweep_ == nullptr) return;
    const bool more = sweep_->step();
    showAnswers();
    Progress->setValue(sweep_->done());
    TimeLeft->setText(QStringLiteral("Zbývá asi %1 s").arg((sweep_->msLeft() + 999) / 1000));
    if (!more) endSweep();
}

void ModuleFinderWindow::showAnswers() {
    const auto& answers = sweep_->answers();
    if (shown_ == static_cast<int>(answers.size())) return;
    for (; shown_ < static_cast<int>(answers.size()); ++shown_) Answers->addItem(QString());
    // A new answer may be the other parity of an earlier one: every text is made again.
    for (std::size_t i = 0; i < answers.size(); ++i)
        Answers->item(static_cast<int>(i))->setText(answerText(answers, i, sweptChoice_ == 0));
    if (Answers->currentRow() < 0 && Answers->count() > 0) Answers->setCurrentRow(0);
}

// No further probe starts; the one on the line ends within its time-out and is collected.
void ModuleFinderWindow::abortSweep() {
    if (sweep_ == nullptr) return;
    sweep_->abort();
    if (sweep_->finished()) endSweep();
}

void ModuleFinderWindow::endSweep() {
    timer_->stop();
    if (sweep_ == nullptr) return;
    sweep_->finish();
    restoreResolver();
    TimeLeft->setText(endText(*sweep_));
    B_Hledat->setEnabled(true);
    B_Prerusit->setEnabled(false);
    // Kept until the engine has let go of the sweep's request.
    if (comm_.engine.RequestCount == 0) {
        lastAnswers_ = sweep_->answers();
        sweep_.reset();
    }
    updatePouzit();
    if (closeAfterSweep_ && sweep_ == nullptr) reject();
}

// "Použít" only with an answer of a finished sweep selected.
void ModuleFinderWindow::updatePouzit() {
    const int row = Answers->currentRow();
    B_Pouzit->setEnabled(sweep_ == nullptr && row >= 0 &&
                         row < static_cast<int>(lastAnswers_.size()));
}

void ModuleFinderWindow::restoreResolver() {
    if (!savedResolver_) return;
    comm_.channel.resolvePort = std::move(*savedResolver_);
    savedResolver_.reset();
}

// Channel 1 speaks of COMn only: a device swept by its path becomes the COMn chosen for
// "Přiřadit jako COMn" first, unless it is a COM port of the system itself (COM12).
std::optional<std::uint8_t> ModuleFinderWindow::adoptedPort() {
    if (sweptChoice_ != kDevicePort) return static_cast<std::uint8_t>(sweptChoice_);
    const int own = portNumberOfName(sweptDevicePath_.toStdString());
    if (own >= 1 && own <= 255) return static_cast<std::uint8_t>(own);
    if (!assignDevice(sweptDevicePath_.toStdString())) return std::nullopt;
    return static_cast<std::uint8_t>(ComChoice->currentData().toInt());
}

bool ModuleFinderWindow::adoptSelected() {
    const int row = Answers->currentRow();
    if (row < 0 || row >= static_cast<int>(lastAnswers_.size())) return false;
    const SweepAnswer& a = lastAnswers_[static_cast<std::size_t>(row)];
    const std::optional<std::uint8_t> port = adoptedPort();
    if (!port) return false;
    ChannelState& ch = comm_.channel;
    PortRecord& r = *ch.ChannelTable.record(1);
    const PortRecord before = r;
    const std::string nameBefore = ch.SelectedPortName;
    r.PortNumber = *port;
    if (*port != 0) {
        ch.SelectedPortName = PortDeviceName(*port);
        r.BaudIndex = a.point.baudIndex;
        r.NoParity = a.point.noParity ? 1 : 0;
    }
    // Channel 1 takes the answer's settings only together with COM.CFG.
    if (!saveChannelSettings()) {
        r.PortNumber = before.PortNumber;
        r.BaudIndex = before.BaudIndex;
        r.NoParity = before.NoParity;
        ch.SelectedPortName = nameBefore;
        return false;
    }
    oldPortNumber_ = r.PortNumber;
    oldPortName_ = ch.SelectedPortName;
    offerModuleAddress(a.point.address);
    return true;
}

bool ModuleFinderWindow::saveChannelSettings() {
    const std::string& path = comm_.channel.ComConfigPath;
    try {
        SaveComConfig(comm_.channel);
        return true;
    } catch (const FileWriteError& e) {
        ShowMessageWindow("Nastavení kanálu nelze uložit do souboru " + path + ".",
                          writeFailureReason(e.error()) + ". Nastavení zůstává, jak bylo.", 2, 1);
    } catch (const std::exception&) {
        ShowMessageWindow("Nastavení kanálu nelze uložit do souboru " + path + ".",
                          "Neočekávaná chyba programu. Nastavení zůstává, jak bylo.", 2, 1);
    }
    return false;
}

void ModuleFinderWindow::offerModuleAddress(int address) {
    ConfigState& cfg = config_;
    struct Offer {
        std::int32_t& field;
        const char* which;
        const std::string& file;
        bool (*save)(ConfigState&, const ChannelState&);
    };
    const Offer offers[] = {
        {cfg.AnalogConfig.ModuleAddress, "analogové", cfg.AnalogFileName, &SaveAnalogConfig},
        {cfg.BinaryConfig.ModuleAddress, "binární", cfg.BinaryFileName, &SaveBinaryConfig},
    };
    for (const Offer& o : offers) {
        if (o.field == address) continue;
        char answer = kAnswerNo;
        ShowMessageWindow("Nastavit adresu modulu " + std::to_string(address) + " v " + o.which +
                              " konfiguraci (" + cp1250ToUtf8(o.file) + ")?",
                          "Nyní je tam adresa " + std::to_string(o.field) + ".", 3, answer, 0);
        if (answer != kAnswerYes) continue;
        const std::int32_t old = o.field;
        o.field = address;
        // A file that could not be written keeps its address in memory too.
        if (!o.save(cfg, comm_.channel)) o.field = old;
    }
}

void ModuleFinderWindow::reject() {
    if (sweep_ != nullptr) {
        // "Zavřít" or Esc in mid-sweep: the sweep stops, and the window closes once the
        // probe on the line has ended (within its time-out).
        closeAfterSweep_ = true;
        abortSweep();
        return;
    }
    closeAfterSweep_ = false;
    ChannelState& ch = comm_.channel;
    ch.ChannelTable.record(1)->PortNumber = oldPortNumber_;
    ch.SelectedPortName = oldPortName_;
    QDialog::reject();
}

Tool moduleFinderTool(CommState& comm, ConfigState& config, ChannelLoan loan) {
    ToolAction open{QStringLiteral("&Hledání modulů…"), QKeySequence(Qt::CTRL | Qt::Key_F),
                    QStringLiteral("ActionModuleFinder"), ToolReach::MainWindowOnly,
                    [&comm, &config, loan](QWidget* host) {
                        loan.take();
                        bool adopted = false;
                        {
                            ModuleFinderWindow finder(comm, config, host);
                            adopted = finder.exec() == QDialog::Accepted;
                        }
                        // Closed without "Použít", nothing changed: the holder goes on as
                        // it was (a dormant loop stays dormant).
                        loan.giveBack(adopted);
                    }};
    return {{std::move(open)}, nullptr};
}

}  // namespace velor
