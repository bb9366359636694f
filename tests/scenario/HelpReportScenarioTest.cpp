// Help and the service report in the whole program against the simulator, as a new user would
// try them: F1 in the KALU window opens the manual at the KALU page, "Info" in the analog
// editor at the editor's page, and Ctrl+P in the KALU window writes a PDF whose text holds the
// address, the twelve values as the window shows them and the link statistics.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "ScenarioProgram.h"
#include "config/AnalogEditor.h"
#include "help/HelpTopics.h"
#include "help/HelpWindow.h"
#include "monitor/KaluWindow.h"
#include "recording/RecordWindow.h"
#include "report/ReportDialog.h"
#include "support/PdfText.h"

namespace velor::scenario {
namespace {

void openKalu(Program& p) {
    p.runEditor(EditorKind::Binary);
    ASSERT_TRUE(p.waitStatus(isScanLine, 3000));
    p.main().B_Monit3->click();
    ASSERT_TRUE(p.waitStatus([](const QString& s) { return s == "Komunikace - KALU"; }, 3000));
    TForm_Okno* kalu = p.main().units().kalu();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(kalu));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !kalu->inputEdit(12)->text().isEmpty(); }, 3000));
}

ReportDialog* reportDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<ReportDialog*>(w); d != nullptr && d->isVisible()) return d;
    }
    return nullptr;
}

TEST(HelpReportScenario, F1InTheKaluWindowAndInfoInTheAnalogEditorOpenTheirPages) {
    Program p({});
    ASSERT_TRUE(p.simulatorReady());
    openKalu(p);
    TForm_Okno* kalu = p.main().units().kalu();
    kalu->activateWindow();
    QTest::keyClick(kalu->inputEdit(1), Qt::Key_F1);
    HelpWindow* help = openHelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->currentContext(), kHelpKalu);
    EXPECT_TRUE(help->browser()->toPlainText().contains(QStringLiteral("OUT č.  0")));

    TForm_Konmst editor(p.main().editorContext(), &p.main());
    editor.BitBtn3->click();
    EXPECT_EQ(openHelpWindow(), help);  // the one window, at another page
    EXPECT_EQ(help->currentContext(), kHelpAnalogEditor);
    EXPECT_EQ(qApp->property("helpFile").toString(), QStringLiteral("Velor.HLP"));
    help->close();
    EXPECT_TRUE(p.messages().calls.empty());
}

TEST(HelpReportScenario, CtrlPInTheKaluWindowWritesTheReportOfTheModule) {
    Program p({});
    ASSERT_TRUE(p.simulatorReady());
    openKalu(p);
    TForm_Okno* kalu = p.main().units().kalu();
    kalu->activateWindow();
    QTest::keyClick(kalu, Qt::Key_P, Qt::ControlModifier);
    ReportDialog* dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (dialog = reportDialog()) != nullptr; }, 3000));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Servisní protokol"));
    EXPECT_TRUE(dialog->file()->text().endsWith(QStringLiteral(".pdf")));
    dialog->technician()->setText(QStringLiteral("Jiří Novák"));
    dialog->note()->setPlainText(QStringLiteral("Kontrola vstupů po výměně čidla"));
    const QString path = QFileInfo(dialog->file()->text()).absolutePath() + "/kalu.pdf";
    dialog->file()->setText(path);

    // What the window shows at the moment of saving is what the report holds.
    QStringList shown;
    for (int n = 1; n <= 12; ++n) shown << kalu->inputEdit(n)->text();
    dialog->saveButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return reportDialog() == nullptr; }, 2000));

    const QString text = test::pdfText(path);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_TRUE(text.contains(QStringLiteral("modul KALU na adrese 1")));
    EXPECT_TRUE(text.contains(QStringLiteral("Adresa modulu: 1")));
    EXPECT_TRUE(text.contains(QStringLiteral("Jiří Novák")));
    EXPECT_TRUE(text.contains(QStringLiteral("Kontrola vstupů po výměně čidla")));
    const QString values =
        text.section(QStringLiteral("Hodnoty"), 1).section(QStringLiteral("Statistika"), 0, 0);
    for (const QString& v : shown) {
        EXPECT_TRUE(
            values.contains(QRegularExpression(" " + QRegularExpression::escape(v) + "\\n")))
            << v.toStdString() << "\n"
            << values.toStdString();
    }
    const auto requests = QRegularExpression(QStringLiteral(R"(Požadavky +(\d+))")).match(text);
    ASSERT_TRUE(requests.hasMatch());
    EXPECT_GT(requests.captured(1).toInt(), 0);
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral(R"(95\. percentil +\d+ ms)"))));
    // No recording runs: no chart.
    EXPECT_FALSE(text.contains(QStringLiteral("Průběh vstupů")));
    EXPECT_TRUE(p.messages().calls.empty());
}

TEST(HelpReportScenario, ReportOfAKaluBeingRecordedHoldsTheTrendChart) {
    Program p({});
    ASSERT_TRUE(p.simulatorReady());
    openKalu(p);
    QTemporaryDir dir;
    RecordWindow* recording = p.program().tool<ValueRecording>().show();
    recording->setFileAsker([&](const QString&, const QString&) { return dir.filePath("k.csv"); });
    recording->startClicked();
    ASSERT_TRUE(QTest::qWaitFor([&] { return recording->recorder().rows() >= 3; }, 5000));

    TForm_Okno* kalu = p.main().units().kalu();
    kalu->findChild<QAction*>(QStringLiteral("ActionServiceReport"))->trigger();
    ReportDialog* dialog = reportDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->file()->setText(dir.filePath("graf.pdf"));
    dialog->saveButton()->click();
    EXPECT_TRUE(test::pdfText(dir.filePath("graf.pdf")).contains(QStringLiteral("Průběh vstupů")));
    // The chart is a picture in the file, beside the text.
    QFile pdf(dir.filePath("graf.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.readAll().contains("/Subtype /Image"));
    recording->stopClicked();
    EXPECT_TRUE(p.messages().calls.empty());
}

}  // namespace
}  // namespace velor::scenario
