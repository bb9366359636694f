// Every window the program can open, offscreen: within a window no two captions share a
// mnemonic (Alt+letter reaches one control), every mnemonic of a label leads to a control, and
// every control that does something can be reached with Tab. The windows' context menus give
// each entry its own letter too.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/Program.h"
#include "config/AnalogEditor.h"
#include "config/BinaryEditor.h"
#include "config/EditorContext.h"
#include "finder/ModuleFinderWindow.h"
#include "monitor/KaluWindow.h"
#include "monitor/MainWindow.h"
#include "monitor/MokrWindow.h"
#include "monitor/TevWindow.h"
#include "monitor/TevwWindow.h"
#include "monitor/TewWindow.h"
#include "monitor/UnitWindows.h"
#include "recording/RecordWindow.h"
#include "support/MessageRecorder.h"
#include "support/QtAppEnvironment.h"
#include "traffic/TrafficMonitor.h"
#include "traffic/TrafficWindow.h"
#include "ui/ProgressWindow.h"

namespace velor {
namespace {

// The letter after a single '&' (lower case), or nothing.
QChar mnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// The caption that carries a mnemonic for widget w, if it can carry one.
QString captionOf(const QWidget* w) {
    if (const auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (const auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (const auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
    return {};
}

bool doesSomething(const QWidget* w) {
    if (qobject_cast<const QHeaderView*>(w)) return false;  // part of its table
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) ||
           (qobject_cast<const QLineEdit*>(w) && !static_cast<const QLineEdit*>(w)->isReadOnly()) ||
           qobject_cast<const QAbstractItemView*>(w);
}

// Letters the designed windows share by their design, as "letter: caption | caption".
using Shared = std::vector<std::string>;

std::string sharedText(QChar letter, const std::vector<QString>& captions) {
    return QString(letter).toStdString() + ": " +
           QStringList(captions.begin(), captions.end()).join(" | ").toStdString();
}

// Reports duplicate mnemonics (but the designed ones), label mnemonics that lead nowhere and
// controls Tab skips.
void expectKeyboardAccess(QWidget& window, const std::string& name, const Shared& designed = {}) {
    std::map<QChar, std::vector<QString>> letters;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window)) continue;
        const QString caption = captionOf(w);
        const QChar letter = mnemonicOf(caption);
        if (!letter.isNull()) {
            letters[letter].push_back(caption);
            if (const auto* l = qobject_cast<QLabel*>(w)) {
                EXPECT_NE(l->buddy(), nullptr) << name << ": " << caption.toStdString();
            }
        }
        if (doesSomething(w) && w->isEnabled()) {
            EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus)
                << name << ": " << w->metaObject()->className() << " "
                << w->objectName().toStdString() << " " << caption.toStdString();
        }
    }
    Shared shared;
    for (const auto& [letter, captions] : letters)
        if (captions.size() > 1) shared.push_back(sharedText(letter, captions));
    EXPECT_EQ(shared, designed) << name;
}

// In a tool window every button has its letter, and so has the label of every list to pick
// from and every number field.
void expectLettersEverywhere(QWidget& window, const std::string& name) {
    std::vector<const QWidget*> labelled;
    for (const QLabel* l : window.findChildren<QLabel*>())
        if (l->buddy() != nullptr && !mnemonicOf(l->text()).isNull())
            labelled.push_back(l->buddy());
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window)) continue;
        if (const auto* b = qobject_cast<QPushButton*>(w)) {
            EXPECT_FALSE(mnemonicOf(b->text()).isNull()) << name << ": " << b->text().toStdString();
        }
        if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w)) {
            EXPECT_NE(std::find(labelled.begin(), labelled.end(), w), labelled.end())
                << name << ": " << w->metaObject()->className() << " without a labelled letter";
        }
    }
}

class KeyboardAccessTest : public ::testing::Test {
protected:
    KeyboardAccessTest() {
        hooks.messages = &messages;
        hooks.workDirectory = dir.path().toStdString();
        hooks.editorRunner = [](EditorKind, EditorContext&, QWidget*) {};
        hooks.resolvePort = [this](const std::string& name) {
            return dir.filePath("missing-" + QString::fromStdString(name)).toStdString();
        };
        program = std::make_unique<Program>(hooks);
    }

    template <typename W>
    void check(W& window, const std::string& name, const Shared& designed = {}) {
        window.show();
        expectKeyboardAccess(window, name, designed);
        expectMenuLetters(window, name);
        window.close();
    }

    // The context menu the window offers (right button, Menu key, Shift+F10): its tools'
    // entries.
    void expectMenuLetters(QWidget& window, const std::string& name) {
        std::map<QChar, int> entries;
        for (QAction* a : window.actions()) {
            const QChar letter = mnemonicOf(a->text());
            EXPECT_FALSE(letter.isNull()) << name << ": menu " << a->text().toStdString();
            if (!letter.isNull()) ++entries[letter];
        }
        for (const auto& [letter, count] : entries)
            EXPECT_EQ(count, 1) << name << ": menu Alt+" << QString(letter).toStdString();
    }

    QTemporaryDir dir;
    test::MessageRecorder messages;
    ProgramHooks hooks;
    std::unique_ptr<Program> program;
};

// The main window, the five unit windows, the two editors and the message windows keep their
// captions as designed; they are checked as they are.
TEST_F(KeyboardAccessTest, DesignedWindows) {
    AppState& app = program->state();
    ASSERT_EQ(program->mainWindow().actions().size(), 4);  // the four tools' entries
    check(program->mainWindow(), "hlavní okno");
    // The unit windows as the main window opens them, with the tools' entries of a unit
    // window in their context menus.
    TForm_MzVyber& main = program->mainWindow();
    const UnitWindows& units = main.units();
    const std::pair<RequestKind, const char*> kinds[] = {
        {RequestKind::Kalu, "KALU"}, {RequestKind::Tev, "TEV"},   {RequestKind::Tew, "TEW"},
        {RequestKind::Tevw, "TEVW"}, {RequestKind::Mokr, "MOKR"},
    };
    for (const auto& [kind, name] : kinds) {
        main.openUnit(kind);
        QWidget* unit = kind == RequestKind::Kalu   ? static_cast<QWidget*>(units.kalu())
                        : kind == RequestKind::Tev  ? static_cast<QWidget*>(units.tev())
                        : kind == RequestKind::Tew  ? static_cast<QWidget*>(units.tew())
                        : kind == RequestKind::Tevw ? static_cast<QWidget*>(units.tevw())
                                                    : static_cast<QWidget*>(units.mokr());
        ASSERT_NE(unit, nullptr) << name;
        EXPECT_FALSE(unit->actions().isEmpty()) << name;
        check(*unit, name);
    }
    FieldBindingState fields;
    EditorContext context{app.config, app.comm.channel, fields, {}, {}, {}, {}};
    context.searchPorts = [](ChannelState& c) { c.PortSearchPending = false; };
    {
        TForm_Konmst analog(context);
        check(analog, "analogový editor", {"a: Nastavit - K&ALU | K&ALU - 11"});
    }
    {
        TForm_BKonmst binary(context);
        check(binary, "binární editor",
              {"t: Procháze&t | Nastavit - &TEW", "z: &Zrušit | Nastavit - &ZEPA"});
    }
}

// The program's tools: "Záznam hodnot", "Provoz linky" and "Hledání modulů".
TEST_F(KeyboardAccessTest, ToolWindows) {
    AppState& app = program->state();
    {
        RecordWindow record(app);
        check(record, "Záznam hodnot");
        expectLettersEverywhere(record, "Záznam hodnot");
    }
    {
        TrafficWindow traffic(program->tool<TrafficMonitorSetup>().tap());
        check(traffic, "Provoz linky");
        expectLettersEverywhere(traffic, "Provoz linky");
    }
    {
        ModuleFinderWindow finder(app.comm, app.config);
        finder.showSerialDevices({});
        check(finder, "Hledání modulů");
        expectLettersEverywhere(finder, "Hledání modulů");
    }
}

// Tab goes through the finder top to bottom: the sweep's settings, the device list, the
// answers, then the buttons.
TEST_F(KeyboardAccessTest, FinderTabOrderFollowsTheWindowDown) {
    ModuleFinderWindow finder(program->state().comm, program->state().config);
    finder.showSerialDevices({});
    finder.show();
    const std::vector<QWidget*> expected = {finder.PortChoice, finder.Timeout,   finder.Devices,
                                            finder.ComChoice,  finder.B_Obnovit, finder.Answers,
                                            finder.B_Hledat,   finder.B_Zavrit};
    std::vector<QWidget*> chain;
    QWidget* w = finder.PortChoice;
    for (int i = 0; i < 100 && (chain.empty() || w != finder.PortChoice); ++i) {
        if (std::find(expected.begin(), expected.end(), w) != expected.end()) chain.push_back(w);
        w = w->nextInFocusChain();
    }
    EXPECT_EQ(chain, expected);
    const auto top = [&](const QWidget* x) { return x->mapTo(&finder, QPoint(0, 0)).y(); };
    EXPECT_LT(top(finder.Timeout), top(finder.Devices));
    EXPECT_LT(top(finder.Devices), top(finder.Answers));
    EXPECT_LT(top(finder.Answers), top(finder.B_Hledat));
}

}  // namespace
}  // namespace velor
