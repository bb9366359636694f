#include "monitor/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <exception>
#include <stdexcept>
#include <system_error>

#include "comm/Channel.h"
#include "config/AnalogEditor.h"
#include "config/BinaryEditor.h"
#include "modules/RequestBuilders.h"
#include "monitor/AppState.h"
#include "monitor/KaluWindow.h"
#include "monitor/MokrWindow.h"
#include "monitor/TevWindow.h"
#include "monitor/TevwWindow.h"
#include "monitor/TewWindow.h"
#include "monitor/UnitWindow.h"
#include "monitor/UnitWindows.h"
#include "ui/Cp1250.h"
#include "ui/MessageService.h"
#include "ui/NumberText.h"
#include "ui/TextFit.h"
#include "ui/ToolSet.h"

namespace velor {

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int top) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(16, top, 229, 33);
    return b;
}

QFrame* makeBevel(QWidget* parent, const char* name, const QRect& geometry) {
    auto* f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setFrameShape(QFrame::Box);
    f->setFrameShadow(QFrame::Sunken);
    f->setGeometry(geometry);
    f->lower();
    return f;
}

// The widest scan line: ten modules found, the probe at 31.
constexpr const char* kWidestScanLine = "> 31< 22,23,24,25,26,27,28,29,30,31,";

}  // namespace

int runConfigEditor(EditorKind kind, EditorContext& context, QWidget* parent) {
    if (kind == EditorKind::Analog) {
        TForm_Konmst editor(context, parent);
        return editor.exec();
    }
    TForm_BKonmst editor(context, parent);
    return editor.exec();
}

TForm_MzVyber::TForm_MzVyber(AppState& app, ChannelAdapter& channel, ToolSet& tools,
                             QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      app_(app),
      channel_(channel),
      tools_(tools),
      loop_({app.loop, app.comm.engine, app.config, app.selections, app.decoder, *this, channel}),
      editorContext_{app.config,
                     app.comm.channel,
                     app.fields,
                     {},
                     [this](ChannelState& channels) { channel_.searchPorts(channels); },
                     {},
                     {}},
      editorRunner_(runConfigEditor) {
    setObjectName("TForm_MzVyber");
    setWindowTitle(QStringLiteral("Výběr zobrazení"));
    QFont f(QStringLiteral("System"));
    f.setBold(true);
    f.setPixelSize(15);
    setFont(f);
    createControls();
    channel_.setStatusFunction(
        [this](const std::string& text) { E_Stav->setText(QString::fromStdString(text)); });
    tools_.attach(this, ToolHost::Main);
    units_.monitoringStopped = [this](ScanReset reset) {
        app_.loop.MonitoredKind = kMonitoredNone;
        app_.loop.ScanAddress = 0;
        if (reset == ScanReset::AddressAndFlags) app_.loop.AddressFound.fill(false);
    };
    FormCreate();
    connect(Timer1, &QTimer::timeout, this, &TForm_MzVyber::Timer1Timer);
    Timer1->start();
}

TForm_MzVyber::~TForm_MzVyber() {
    channel_.setStatusFunction({});
}

void TForm_MzVyber::createControls() {
    B_Monit1 = makeButton(this, "B_Monit1", QStringLiteral("Jednotka  TE&V"), 12);
    B_Monit2 = makeButton(this, "B_Monit2", QStringLiteral("Jednotka  T&EVW"), 52);
    B_Monit4 = makeButton(this, "B_Monit4", QStringLiteral("Jednotka  TE&W"), 92);
    B_MonitF = makeButton(this, "B_MonitF", QStringLiteral("Jednotka  M&OKR"), 132);
    B_Monit3 = makeButton(this, "B_Monit3", QStringLiteral("Jednotka  K&ALU"), 172);
    Label3 = new QLabel(QStringLiteral("Konfigurace"), this);
    Label3->setObjectName("Label3");
    Label3->setGeometry(16, 214, 229, 18);
    Label3->setStyleSheet("color: blue;");
    B_Konfig = makeButton(this, "B_Konfig", QStringLiteral("&TEV,TEW,TEVW,MOKR"), 234);
    A_Konfig = makeButton(this, "A_Konfig", QStringLiteral("KALU"), 272);
    B_Exit = makeButton(this, "B_Exit", QStringLiteral("&Konec"), 318);
    E_Stav = new QLineEdit(this);
    E_Stav->setObjectName("E_Stav");
    E_Stav->setReadOnly(true);
    E_Stav->setGeometry(4, 358, 253, 24);
    E_Stav->setStyleSheet("background-color: palette(button);");
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(4, 386, 253, 18);
    Label2 = new QLabel(QStringLiteral("TARNIX Line 2"), this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(4, 404, 253, 18);
    L_Err = new QLabel(this);
    L_Err->setObjectName("L_Err");
    L_Err->setGeometry(4, 422, 253, 18);
    L_Err->setStyleSheet("color: red;");
    L_Err->hide();
    // The window's bold 15 px is too wide for the status line and the error label, whose
    // sizes are fixed: they take it at the size their longest texts fit.
    E_Stav->setFont(
        fittedFont(font(), {QString::fromLatin1(kWidestScanLine)}, lineEditTextRoom(*E_Stav)));
    QStringList errors;
    for (std::uint8_t code = 1; code <= 3; ++code)
        errors << QString::fromStdString(protocolErrorText(code));
    L_Err->setFont(fittedFont(font(), errors, L_Err->contentsRect().width()));
    PanelSize = new QWidget(this);
    PanelSize->setObjectName("PanelSize");
    PanelSize->setGeometry(kClientWidth, kClientHeight, 1, 1);
    PanelSize->hide();
    Bevel1 = makeBevel(this, "Bevel1", QRect(8, 6, 245, 204));
    Bevel2 = makeBevel(this, "Bevel2", QRect(8, 210, 245, 100));
    Bevel4 = makeBevel(this, "Bevel4", QRect(2, 354, 257, 84));
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(kFirstTickInterval);

    const std::pair<QPushButton*, RequestKind> units[] = {
        {B_Monit1, RequestKind::Tev},  {B_Monit2, RequestKind::Tevw}, {B_Monit4, RequestKind::Tew},
        {B_MonitF, RequestKind::Mokr}, {B_Monit3, RequestKind::Kalu},
    };
    for (const auto& [button, kind] : units)
        connect(button, &QPushButton::clicked, this, [this, kind = kind] { openUnit(kind); });
    connect(B_Konfig, &QPushButton::clicked, this, &TForm_MzVyber::B_KonfigClick);
    connect(A_Konfig, &QPushButton::clicked, this, &TForm_MzVyber::A_KonfigClick);
    connect(B_Exit, &QPushButton::clicked, this, &TForm_MzVyber::B_ExitClick);
}

void TForm_MzVyber::FormCreate() {
    Label1->setText(QStringLiteral("Velor – servis modulů"));
    setFixedSize(PanelSize->x(), PanelSize->y());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - frameGeometry().width()) / 2,
             area.y() + (area.height() - frameGeometry().height()) / 2);
    }
    ChannelState& ch = app_.comm.channel;
    ch.SelectedPortName = ("COM" + IntToField(channel_.portNumber(), 1)).substr(0, kPortNameChars);
    ch.PortSearchPending = true;
    loop_.FormCreate();
}

void TForm_MzVyber::UpdateUnitCaptions() {
    // The captions keep the unit names at the designed widths.
    static const std::array<QString, kUnitKinds> prefixes = {
        QStringLiteral("Jednotka  KALU  .......  ->   "),
        QStringLiteral("Jednotka   TEV  .......  ->   "),
        QStringLiteral("Jednotka   TEW  .......  ->   "),
        QStringLiteral("Jednotka  TEVW  .......  ->   "),
        QStringLiteral("Jednotka  MOKR  .......  ->   "),
    };
    const QString status = E_Stav->text();
    for (std::size_t k = 0; k < kUnitKinds; ++k) {
        if (UnitWindow* w = units_.window(static_cast<RequestKind>(k)))
            w->setStatusCaption(prefixes[k] + status);
    }
}

void TForm_MzVyber::B_ExitClick() {
    QWidget::close();
}

void TForm_MzVyber::closeEvent(QCloseEvent* event) {
    Timer1->stop();
    // With no other window left the application leaves its event loop once this one is gone.
    const QWidgetList others = QApplication::topLevelWidgets();
    for (QWidget* w : others) {
        if (w != this && w->isVisible()) w->close();
    }
    QWidget::closeEvent(event);
}

UnitWindow* TForm_MzVyber::createUnit(RequestKind kind) {
    UnitSelections& sel = app_.selections;
    switch (kind) {
        case RequestKind::Kalu:
            return new TForm_Okno(sel, app_.config.AnalogConfig.Variant);
        case RequestKind::Tev:
            return new TForm_TEV(sel);
        case RequestKind::Tevw:
            return new TForm_TEVW(sel);
        case RequestKind::Tew:
            return new TForm_TEW(sel);
        default:
            return new TForm_MOKR(sel, [this](int n) {
                return app_.config.BinaryConfig.Inputs.at(static_cast<std::size_t>(n - 1)).Name;
            });
    }
}

void TForm_MzVyber::openUnit(RequestKind kind) {
    UnitWindow* w = units_.window(kind);
    if (w == nullptr) {
        w = units_.add(createUnit(kind));
        tools_.attach(w, ToolHost::Unit);
    }
    app_.loop.MonitoredKind = kind;
    w->prepareToOpen(app_.config);
    w->show();
    w->raise();
}

void TForm_MzVyber::openEditor(EditorKind kind) {
    const char* text = nullptr;
    editorContext_.outcome = {};
    try {
        loop_.editorOpening();
        editorRunner_(kind, editorContext_, this);
        loop_.takeEditorOutcome(editorContext_.outcome);
        loop_.editorClosed();
        return;
    } catch (const std::system_error&) {
        text = "Chyba při otevření formuláře ";
    } catch (const std::exception&) {
        text = "Chyba při otevření formuláře";
    } catch (...) {
        text = "Chyba při otevření formuláře ";
    }
    // What the editor decided before it failed holds; the loop stays stopped until an editor
    // has been opened and closed cleanly.
    loop_.takeEditorOutcome(editorContext_.outcome);
    Timer1->stop();
    ShowMessageWindow(text, "", 2, 1);
}

std::string TForm_MzVyber::statusLine() const {
    return E_Stav->text().toStdString();
}

void TForm_MzVyber::setStatusLine(const std::string& text) {
    E_Stav->setText(QString::fromStdString(text));
}

void TForm_MzVyber::showProtocolError(const std::string& text) {
    L_Err->setText(QString::fromStdString(text));
    L_Err->show();
}

void TForm_MzVyber::hideProtocolError() {
    L_Err->hide();
}

bool TForm_MzVyber::unitWindowOpen(RequestKind kind) const {
    return units_.isOpen(kind);
}

void TForm_MzVyber::showAnswer(const DecodeResult& result) {
    velor::showAnswer(units_, result);
}

void TForm_MzVyber::setTimerEnabled(bool enabled) {
    if (enabled) {
        Timer1->start();
    } else {
        Timer1->stop();
    }
}

void TForm_MzVyber::setTimerInterval(int ms) {
    Timer1->setInterval(ms);
}

}  // namespace velor
