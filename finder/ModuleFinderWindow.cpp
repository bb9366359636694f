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
#include <QTimer>
#include <QVBoxLayout>

#include "comm/ComConfig.h"
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

QString answerText(const std::vector<SweepAnswer>& answers, std::size_t i) {
    const SweepAnswer& a = answers[i];
    QString text = QStringLiteral("adresa %1   %2 Bd   parita %3   %4")
                       .arg(a.point.address)
                       .arg(baudRateAt(a.point.baudIndex))
                       .arg(a.point.noParity ? QStringLiteral("žádná") : QStringLiteral("sudá"))
                       .arg(answerKindName(a.kind));
    if (answeredAtBothParities(answers, i))
        text += QStringLiteral("   (odpovídá při obou paritách – paritu nelze rozlišit)");
    return text;
}

// Why the device may not be opened and what the user can do about it.
QString accessRemedy(const SerialDevice& d) {
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
    connect(B_Hledat, &QPushButton::clicked, this, &ModuleFinderWindow::startSweep);
    connect(B_Prerusit, &QPushButton::clicked, this, &ModuleFinderWindow::abortSweep);
    connect(B_Pouzit, &QPushButton::clicked, this, [this] {
        if (adoptSelected()) accept();
    });
    connect(B_Zavrit, &QPushButton::clicked, this, &ModuleFinderWindow::reject);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {B_Hledat, B_Prerusit, B_Pouzit, B_Zavrit}) buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Answers);
    layout->addWidget(createDeviceControls());
    layout->addWidget(Progress);
    layout->addWidget(TimeLeft);
    layout->addLayout(buttons);
}

QWidget* ModuleFinderWindow::createDeviceControls() {
    auto* box = new QGroupBox(QStringLiteral("Sériová zařízení počítače"), this);
    Devices = new QListWidget(box);
    ComChoice = new QComboBox(box);
    for (int n = 1; n <= 9; ++n) ComChoice->addItem(QStringLiteral("COM%1").arg(n), n);
    B_Priradit = new QPushButton(box);
    B_Obnovit = new QPushButton(QStringLiteral("Obnovit"), box);
    B_Priradit->setEnabled(false);
    const auto caption = [this] {
        B_Priradit->setText(QStringLiteral("Přiřadit jako %1").arg(ComChoice->currentText()));
    };
    caption();
    connect(ComChoice, &QComboBox::currentIndexChanged, this, caption);
    connect(Devices, &QListWidget::currentRowChanged, this,
            [this](int row) { B_Priradit->setEnabled(row >= 0); });
    connect(B_Priradit, &QPushButton::clicked, this, &ModuleFinderWindow::assignSelectedDevice);
    connect(B_Obnovit, &QPushButton::clicked, this,
            [this] { showSerialDevices(listSerialDevices()); });
    auto* row = new QHBoxLayout;
    row->addWidget(ComChoice);
    row->addWidget(B_Priradit);
    row->addStretch();
    row->addWidget(B_Obnovit);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(Devices);
    layout->addLayout(row);
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
    std::string problem;
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
        ShowMessageWindow("Odkaz " + name + " nelze vytvořit.", problem, 2, 1);
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
        Answers->item(static_cast<int>(i))->setText(answerText(answers, i));
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
    TimeLeft->setText(sweep_->aborted()
                          ? QStringLiteral("Přerušeno")
                          : QStringLiteral("Hotovo: %1 odpovědí").arg(sweep_->answers().size()));
    B_Hledat->setEnabled(true);
    B_Pouzit->setEnabled(Answers->count() > 0);
    B_Prerusit->setEnabled(false);
    // Kept until the engine has let go of the sweep's request.
    if (comm_.engine.RequestCount == 0) {
        lastAnswers_ = sweep_->answers();
        sweep_.reset();
    }
}

void ModuleFinderWindow::restoreResolver() {
    if (!savedResolver_) return;
    comm_.channel.resolvePort = std::move(*savedResolver_);
    savedResolver_.reset();
}

// Channel 1 speaks of COMn only: a device swept by its path becomes the COMn chosen for
// "Přiřadit jako COMn" first.
std::optional<std::uint8_t> ModuleFinderWindow::adoptedPort() {
    if (sweptChoice_ != kDevicePort) return static_cast<std::uint8_t>(sweptChoice_);
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
    r.PortNumber = *port;
    if (*port != 0) ch.SelectedPortName = PortDeviceName(*port);
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
    offerModuleAddress(a.point.address);
    return true;
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
    if (sweep_ != nullptr) return;  // "Přerušit" first
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
                        {
                            ModuleFinderWindow finder(comm, config, host);
                            finder.exec();
                        }
                        loan.giveBack();
                    }};
    return {{std::move(open)}, nullptr};
}

}  // namespace velor
