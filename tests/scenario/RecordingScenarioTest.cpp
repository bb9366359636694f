// Recording KALU values against the simulator: each CSV row holds exactly the values of one
// answer the simulator sent, decoded and formatted as the KALU window shows them.

#include <gtest/gtest.h>

#include <QTest>

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <set>

#include "ScenarioProgram.h"
#include "comm/ByteCodec.h"
#include "monitor/CsvWriter.h"
#include "monitor/RecordWindow.h"
#include "tools/modsim/FrameCodec.h"

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
    RecordWindow* w = ShowRecordWindow(p.app());
    w->setFileAsker([&](const QString&, const QString&) { return path; });
    w->startClicked();
    ASSERT_TRUE(w->recorder().recording());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->recorder().rows() >= 20; }, 10000));
    w->stopClicked();
    QTest::qWait(300);  // the reply of the request in flight reaches the log

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

}  // namespace
}  // namespace velor::scenario
