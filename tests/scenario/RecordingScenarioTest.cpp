// Recording KALU values against the simulator: each CSV row holds exactly the values of one
// answer the simulator sent, decoded and formatted as the KALU window shows them.

#include <gtest/gtest.h>

#include <QTest>

#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>
#include <set>

#include "ScenarioProgram.h"
#include "comm/ByteCodec.h"
#include "modules/CsvWriter.h"
#include "recording/RecordWindow.h"
#include "tools/modsim/FrameCodec.h"
#include "ui/Cp1250.h"

namespace velor::scenario {
namespace {

constexpr int kDecimals = 3;

// The value cells of every 48-byte data reply in the simulator's event log, as CSV text.
std::set<std::string> repliedRows(const QString& eventsPath) {
    std::set<std::string> rows;
    QFile f(eventsPath);
    if (!f.open(QIODevice::ReadOnly)) return rows;
    CsvWriter csv;
    while (!f.atEnd()) {
        const std::string line = f.readLine().toStdString();
        if (line.find("\"event\":\"reply\"") == std::string::npos ||
            line.find("\"kind\":\"data\"") == std::string::npos)
            continue;
        const auto at = line.find("\"hex\":\"") + 7;
        modsim::Bytes frame;
        if (!modsim::fromHex(line.substr(at, line.find('"', at) - at), frame)) continue;
        // Data of the reply: the last 48 bytes before the checksum and the end byte.
        if (frame.size() < 50) continue;
        const std::span<const std::uint8_t> data(frame.data() + frame.size() - 50, 48);
        std::string row;
        for (std::size_t i = 0; i < 12; ++i)
            row += ";" + csv.cell(CsvValue::number(codec::getF32(data, 4 * i), kDecimals));
        rows.insert(row);
    }
    return rows;
}

TEST(RecordingScenario, RowsAreTheSimulatorsAnswersValueByValue) {
    Program p({"--module", "1:KALU"});
    ASSERT_TRUE(p.simulatorReady());
    p.runEditor(EditorKind::Analog, [](AppState& app) {
        app.config.AnalogConfig.ModuleAddress = 1;
        for (auto& in : app.config.AnalogConfig.Inputs) in.Decimals = kDecimals;
    });
    p.main().B_Monit3->click();
    ASSERT_TRUE(p.waitStatus([](const QString& s) { return s == "Komunikace - KALU"; }, 5000))
        << p.status().toStdString();

    QTemporaryDir dir;
    const QString path = dir.filePath("kalu.csv");
    RecordWindow* w = p.program().tool<ValueRecording>().show();
    w->setFileAsker([&](const QString&, const QString&) { return path; });
    w->startClicked();
    ASSERT_TRUE(w->recorder().recording());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->recorder().rows() >= 20; }, 10000));
    w->stopClicked();
    // Every row is an answer the simulator logged before it sent it.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return p.events({"\"event\":\"reply\""}) >= w->recorder().rows(); }, 5000));

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), w->recorder().rows() + 1);
    const std::set<std::string> replied = repliedRows(p.eventsPath());
    ASSERT_GT(replied.size(), 1u);  // the simulated inputs move: rows cannot match by chance
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const std::string row = lines[i].toStdString();
        const auto values = row.find(";1;");  // time; address 1; the twelve values
        ASSERT_NE(values, std::string::npos) << row;
        EXPECT_EQ(replied.count(row.substr(values + 2)), 1u) << row;
    }
    EXPECT_TRUE(p.messages().calls.empty());
}

#ifdef VELOR_TEST_POSIX_FACILITIES  // LibreOffice
// One row of a spreadsheet: its text cells and its number cells, repeated cells expanded.
struct SheetRow {
    QStringList texts;
    std::vector<double> numbers;
};

// The rows of the first table of a flat OpenDocument spreadsheet.
std::vector<SheetRow> sheetRows(const QString& path) {
    std::vector<SheetRow> rows;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return rows;
    QXmlStreamReader xml(&f);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == u"table-row") rows.emplace_back();
        if (xml.name() != u"table-cell" || rows.empty()) continue;
        const auto attrs = xml.attributes();
        const int repeat = std::max(1, attrs.value("table:number-columns-repeated").toInt());
        const bool isNumber = attrs.value("office:value-type") == u"float";
        const double value = attrs.value("office:value").toDouble();
        const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        for (int i = 0; i < repeat && (isNumber || !text.isEmpty()); ++i) {
            if (isNumber)
                rows.back().numbers.push_back(value);
            else
                rows.back().texts << text;
        }
    }
    return rows;
}

// A recording opened in a spreadsheet (LibreOffice Calc, headless) as a technician opens it:
// ';' between columns, UTF-8, Czech number format. The numbers arrive as numbers with the
// recorded values and the input names keep their diacritics.
TEST(RecordingScenario, SpreadsheetReadsTheNumbersAndTheNames) {
    const QString soffice = QStandardPaths::findExecutable("soffice");
    if (soffice.isEmpty()) GTEST_SKIP() << "soffice (LibreOffice) is not installed";
    Program p({"--module", "1:KALU"});
    ASSERT_TRUE(p.simulatorReady());
    p.runEditor(EditorKind::Analog, [](AppState& app) {
        app.config.AnalogConfig.ModuleAddress = 1;
        app.config.AnalogConfig.Inputs[0].Name = utf8ToCp1250("Teplota přívodu");
        app.config.AnalogConfig.Inputs[1].Name = utf8ToCp1250("Průtok čerpadla");
    });
    p.main().B_Monit3->click();
    ASSERT_TRUE(p.waitStatus([](const QString& s) { return s == "Komunikace - KALU"; }, 5000));

    QTemporaryDir dir;
    const QString path = dir.filePath("záznam.csv");
    RecordWindow* w = p.program().tool<ValueRecording>().show();
    w->setFileAsker([&](const QString&, const QString&) { return path; });
    w->startClicked();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->recorder().rows() >= 5; }, 10000));
    w->stopClicked();

    // Separator ';', text quote '"', UTF-8, from line 1, standard cells, Czech (1029).
    QProcess office;
    // A profile of its own, so that a running office is not asked to do the conversion.
    const QString profile =
        QUrl::fromLocalFile(dir.filePath("profile")).toString(QUrl::FullyEncoded);
    office.start(soffice, {"-env:UserInstallation=" + profile, "--headless", "--norestore",
                           "--infilter=CSV:59,34,76,1,,1029", "--convert-to", "fods", "--outdir",
                           dir.path(), path});
    if (!office.waitForFinished(120000)) {
        office.kill();
        office.waitForFinished(5000);
        FAIL() << "soffice did not finish";
    }
    ASSERT_EQ(office.exitCode(), 0) << office.readAllStandardError().toStdString();
    const std::vector<SheetRow> sheet = sheetRows(dir.filePath("záznam.fods"));

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(sheet.size(), static_cast<std::size_t>(lines.size()));
    EXPECT_TRUE(sheet[0].texts.contains("Teplota přívodu"))
        << sheet[0].texts.join('|').toStdString();
    EXPECT_TRUE(sheet[0].texts.contains("Průtok čerpadla"));
    const QLocale czech(QLocale::Czech);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        // The address and the twelve values; the time column may arrive as a date.
        const QStringList cells = lines[i].split(';').mid(1);
        const std::vector<double>& numbers = sheet[static_cast<std::size_t>(i)].numbers;
        ASSERT_GE(numbers.size(), static_cast<std::size_t>(cells.size())) << lines[i].toStdString();
        const std::size_t skip = numbers.size() - static_cast<std::size_t>(cells.size());
        for (qsizetype c = 0; c < cells.size(); ++c) {
            bool ok = false;
            const double recorded = czech.toDouble(cells[c], &ok);
            ASSERT_TRUE(ok) << cells[c].toStdString();
            EXPECT_DOUBLE_EQ(numbers[skip + static_cast<std::size_t>(c)], recorded)
                << "row " << i << " column " << c + 1;
        }
    }
}
#endif

}  // namespace
}  // namespace velor::scenario
