// The report's dialog and its tool: every unit window gets "Servisní protokol…" with Ctrl+P
// (and so in its context menu), the main window does not; a PDF that cannot be written is said and
// the dialog stays with what the user typed.

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "report/ReportDialog.h"
#include "support/MessageRecorder.h"
#include "support/PdfText.h"
#include "support/QtAppEnvironment.h"

namespace velor {
namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new test::QtAppEnvironment);

struct ReportDialogTest : ::testing::Test {
    ReportDialogTest() {
        ReportTool::Sources s;
        s.unitOf = [this](const QWidget* w) -> std::optional<RequestKind> {
            if (w == &unit) return RequestKind::Tew;
            return std::nullopt;
        };
        s.gather = [this](RequestKind kind) {
            ++gathered;
            ServiceReport r;
            r.kind = kind;
            r.address = 3;
            r.time = QDateTime(QDate(2026, 3, 14), QTime(9, 26));
            r.values = {{"Y 0", gathered > 1 ? "sepnuto" : "vypnuto"}};
            return r;
        };
        s.directory = dir.path();
        tools.add(reportTool(s));
        tool = tools.find<ReportTool>();
        tools.attach(&unit, ToolHost::Unit);
        tools.attach(&other, ToolHost::Main);
    }
    QAction* reportAction(QWidget& w) { return w.findChild<QAction*>("ActionServiceReport"); }

    QTemporaryDir dir;
    test::MessageRecorder messages;
    QWidget unit;
    QWidget other;
    int gathered = 0;
    ToolSet tools;
    ReportTool* tool = nullptr;
};

TEST_F(ReportDialogTest, UnitWindowsGetTheActionAndCtrlPOpensTheDialog) {
    unit.show();
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&unit));
    ASSERT_NE(reportAction(unit), nullptr);
    EXPECT_EQ(reportAction(unit)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_TRUE(unit.actions().contains(reportAction(unit)));
    // The main window watches no module: no report there.
    EXPECT_EQ(reportAction(other), nullptr);

    reportAction(unit)->trigger();
    ReportDialog* d = tool->dialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->file()->text(), dir.filePath("protokol-TEW-3-20260314-0926.pdf"));
    d->file()->setText(dir.filePath("tew"));
    d->note()->setPlainText(QStringLiteral("Relé Y 0 zkoušeno"));
    d->saveButton()->click();
    // ".pdf" is added; the values are those at the moment of saving.
    const QString text = test::pdfText(dir.filePath("tew.pdf"));
    EXPECT_TRUE(text.contains(QStringLiteral("Relé Y 0 zkoušeno")));
    EXPECT_TRUE(text.contains(QStringLiteral("sepnuto")));
    EXPECT_TRUE(messages.calls.empty());
}

TEST_F(ReportDialogTest, PdfThatCannotBeWrittenIsSaidAndTheDialogStays) {
    ReportDialog* d = tool->open(RequestKind::Tew, &unit);
    d->technician()->setText(QStringLiteral("Novák"));
    d->file()->setText(dir.filePath("chybí/p.pdf"));
    d->saveButton()->click();
    ASSERT_EQ(messages.calls.size(), 1u);
    EXPECT_EQ(messages.calls[0].text1, "Servisní protokol nelze uložit");
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->technician()->text(), QStringLiteral("Novák"));
    EXPECT_FALSE(QFile::exists(dir.filePath("chybí/p.pdf")));
}

}  // namespace
}  // namespace velor
