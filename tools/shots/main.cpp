// velor-shots OUTDIR: the program's windows as PNG files, for the documentation. The program is
// assembled as its entry does and polls the module simulator (KALU 1, TEV 2, TEW 3, TEVW 4,
// MOKR 5), so the main window shows a real address scan and each unit window a decoded answer.

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "comm/Channel.h"
#include "config/AnalogEditor.h"
#include "config/BinaryEditor.h"
#include "monitor/KaluWindow.h"
#include "monitor/MokrWindow.h"
#include "monitor/TevWindow.h"
#include "monitor/TevwWindow.h"
#include "monitor/TewWindow.h"
#include "recording/RecordWindow.h"
#include "tools/bench/ProgramHarness.h"
#include "tools/bench/Runs.h"
#include "tools/bench/SimulatorProcess.h"
#include "tools/shots/WindowShot.h"
#include "traffic/TrafficMonitor.h"
#include "traffic/TrafficWindow.h"
#include "ui/Cp1250.h"
#include "ui/MessageWindow.h"
#include "ui/ProgressWindow.h"

namespace {

using velor::bench::ProgramHarness;
using velor::bench::runEventsFor;

constexpr double kPollSeconds = 1.5;

int failures = 0;

void save(QWidget* window, const QDir& out, const char* name) {
    if (window == nullptr) {
        std::fprintf(stderr, "velor-shots: no window for %s\n", name);
        ++failures;
        return;
    }
    const QString path = out.filePath(QString::fromLatin1(name));
    if (!velor::shots::saveWindowShot(*window, path)) {
        std::fprintf(stderr, "velor-shots: cannot write %s\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

// Plausible input names, so that the windows show what a configured plant looks like.
void nameInputs(velor::AppState& app) {
    const char* analog[] = {"Teplota přívodu", "Teplota zpátečky", "Tlak v kotli",
                            "Průtok čerpadla", "Hladina nádrže",   "Venkovní teplota"};
    for (std::size_t i = 0; i < std::size(analog); ++i)
        app.config.AnalogConfig.Inputs.at(i).Name = velor::utf8ToCp1250(analog[i]);
    const char* binary[] = {"Porucha čerpadla č.1", "Chod ventilátoru", "Dveře rozváděče",
                            "Havárie - zaplavení",  "Přepětí napájení", "Mez teploty"};
    for (std::size_t i = 0; i < std::size(binary); ++i)
        app.config.BinaryConfig.Inputs.at(i).Name = velor::utf8ToCp1250(binary[i]);
    app.config.AnalogConfig.ModuleAddress = 1;
}

template <typename Open>
void pollUnit(ProgramHarness& h, int address, Open open) {
    h.app().config.BinaryConfig.ModuleAddress = address;
    open();
    runEventsFor(kPollSeconds);
}

void shootUnits(ProgramHarness& h, const QDir& out) {
    velor::TForm_MzVyber& main = h.mainWindow();
    const velor::UnitWindows& w = main.units();
    const auto closeUnit = [](QWidget* window) {
        if (window != nullptr) window->close();
        runEventsFor(0.3);
    };
    pollUnit(h, 1, [&] { main.openUnit(velor::RequestKind::Kalu); });
    save(w.kalu(), out, "unit-kalu.png");
    closeUnit(w.kalu());
    pollUnit(h, 2, [&] { main.openUnit(velor::RequestKind::Tev); });
    save(w.tev(), out, "unit-tev.png");
    closeUnit(w.tev());
    pollUnit(h, 4, [&] { main.openUnit(velor::RequestKind::Tevw); });
    save(w.tevw(), out, "unit-tevw.png");
    closeUnit(w.tevw());
    pollUnit(h, 3, [&] { main.openUnit(velor::RequestKind::Tew); });
    save(w.tew(), out, "unit-tew.png");
    closeUnit(w.tew());
    pollUnit(h, 5, [&] { main.openUnit(velor::RequestKind::Mokr); });
    save(w.mokr(), out, "unit-mokr.png");
    closeUnit(w.mokr());
}

// "Záznam hodnot" recording the KALU window at 1, six inputs in the chart, after the signals
// have moved for a while.
void shootRecording(ProgramHarness& h, const QDir& work, const QDir& out) {
    pollUnit(h, 1, [&] { h.mainWindow().openUnit(velor::RequestKind::Kalu); });
    velor::RecordWindow* window = h.program().tool<velor::ValueRecording>().show();
    window->setFileAsker([&work](const QString&, const QString&) {
        return work.filePath(QStringLiteral("zaznam.csv"));
    });
    for (int i = 0; i < 6; ++i) window->inputBox(i)->setChecked(true);
    window->startClicked();
    runEventsFor(12.0);
    save(window, out, "record.png");
    window->stopClicked();
    window->close();
    if (h.mainWindow().units().kalu() != nullptr) h.mainWindow().units().kalu()->close();
    runEventsFor(0.3);
}

// The main window's editor context, with a port search that finds two ports and no dialogs.
velor::EditorContext& editorContext(velor::TForm_MzVyber& main) {
    velor::EditorContext& context = main.editorContext();
    context.searchPorts = [](velor::ChannelState& channels) {
        channels.FoundPorts = {"COM1", "COM2"};
        channels.PortSearchPending = false;
    };
    context.chooseFile = [](QWidget*, const QString&) { return QString(); };
    context.showHelp = [](int) {};
    return context;
}

template <typename Editor>
void shootEditor(velor::EditorContext& context, QWidget* parent, const QDir& out,
                 const char* name) {
    auto* editor = new Editor(context, parent);
    editor->show();
    runEventsFor(0.5);
    save(editor, out, name);
    // Freed without the close query: nothing is to be saved or sent.
    editor->hide();
    delete editor;
    runEventsFor(0.1);
}

void shootMessage(const QDir& out) {
    velor::ProgressState progress;
    velor::TForm_Msg message(progress);
    QTimer::singleShot(500, &message, [&] {
        save(&message, out, "message.png");
        message.reject();
    });
    velor::MessageCall call;
    call.text1 = "Chyba při zpracování dat";
    call.kind = 2;
    call.iconSet = 1;
    message.present(call, 0);
}

// The traffic monitor after a few seconds of KALU polling against a simulator that drops and
// spoils some replies, on top of what the scan and the unit windows sent before.
void shootTraffic(ProgramHarness& h, velor::TrafficMonitor& monitor, const QDir& out) {
    velor::bench::SimulatorProcess faulty(
        VELOR_MODSIM_PATH, {"--bad-checksum", "0.15", "--drop", "0.1", "--seed", "4"});
    if (faulty.port() == 0) {
        ++failures;
        return;
    }
    velor::CloseChannel(h.app().comm.channel, 1);
    h.tcp().setPeerPort(faulty.port());
    velor::OpenChannel(h.app().comm.channel, 1);
    h.mainWindow().Timer1->start();
    pollUnit(h, 1, [&] { h.mainWindow().openUnit(velor::RequestKind::Kalu); });
    runEventsFor(2.5);
    velor::TrafficWindow* window = monitor.open();
    window->resize(1180, 620);
    runEventsFor(0.5);
    save(window, out, "traffic.png");
    h.mainWindow().Timer1->stop();
    runEventsFor(0.5);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: velor-shots OUTDIR\n");
        return 1;
    }
    const QDir out(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
    QDir().mkpath(out.path());
    QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path())) return 1;
    QFile::copy(VELOR_SOURCE_DIR "/config/data/ParamIOI.cfw", "ParamIOI.cfw");

    velor::bench::SimulatorProcess sim(VELOR_MODSIM_PATH, {});
    if (sim.port() == 0) {
        std::fprintf(stderr, "velor-shots: %s\n", qPrintable(sim.failure()));
        return 1;
    }
    velor::bench::writeLoopbackComConfig();
    ProgramHarness h(sim.port());
    nameInputs(h.app());
    h.mainWindow().show();
    velor::bench::startPolling(h, 100);
    // One pass of the address scan finds the five modules.
    runEventsFor(4.0);
    save(&h.mainWindow(), out, "main-window.png");
    shootUnits(h, out);
    shootRecording(h, QDir(work.path()), out);

    h.mainWindow().Timer1->stop();
    runEventsFor(0.5);
    velor::EditorContext& context = editorContext(h.mainWindow());
    shootEditor<velor::TForm_Konmst>(context, &h.mainWindow(), out, "editor-analog.png");
    shootEditor<velor::TForm_BKonmst>(context, &h.mainWindow(), out, "editor-binary.png");
    shootMessage(out);
    shootTraffic(h, h.program().tool<velor::TrafficMonitorSetup>().monitor(), out);
    return failures == 0 ? 0 : 1;
}
