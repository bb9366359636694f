#include "traffic/TrafficWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "comm/TrafficCapture.h"
#include "support/ManualClocks.h"
#include "support/MessageRecorder.h"
#include "support/QtAppEnvironment.h"
#include "traffic/TrafficRowDelegate.h"

using namespace velor;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Records exchanges on the tap the way the channel and the engine report them.
struct Bus {
    test::ManualTrafficClock clock;
    TrafficTap tap;
    explicit Bus(std::size_t capacity = kTrafficFrameCapacity) : tap(clock, capacity) {}

    void exchange(int address, const Bytes& reply, std::int32_t result, std::uint8_t status) {
        const Bytes user = {static_cast<std::uint8_t>(address), 0x40, 0x69};
        const auto cs = static_cast<std::uint8_t>(address + 0x40 + 0x69);
        tap.attemptStarted({5, 1});
        tap.written(Bytes{0x10, user[0], 0x40, 0x69, cs, 0x16});
        clock.us += 12'000;
        tap.read(reply);
        ExchangeOutcome o;
        o.kind = 5;
        o.address = address;
        o.transferResult = result;
        o.status = status;
        o.timeoutMs = 200;
        tap.attemptEnded(o);
        clock.us += 88'000;
    }
};

const Bytes kAck = {0xE5};
const Bytes kBadFrame = {0x68, 0x03, 0x03, 0x68, 0x05, 0x40, 0x6C, 0xB2, 0x16};

}  // namespace

TEST(TrafficWindow, RowsShowTimeDeltaDirectionAddressKindBytesAndVerdict) {
    Bus bus;
    bus.exchange(3, kAck, 0, 2);
    bus.exchange(4, kBadFrame, -3, 3);
    TrafficWindow window(bus.tap);
    window.show();
    EXPECT_EQ(window.windowTitle(), "Provoz linky");
    TrafficTableModel& m = window.model();
    ASSERT_EQ(m.rowCount(), 4);
    EXPECT_EQ(m.cellText(0, TrafficTableModel::Time),
              trafficTimeText(bus.tap.frame(0)->time.wallUs));
    EXPECT_EQ(m.cellText(0, TrafficTableModel::Time).size(), 12);  // hh:mm:ss.mmm
    EXPECT_EQ(m.cellText(0, TrafficTableModel::Delta), "");
    EXPECT_EQ(m.rowText(1).section('\t', 1), "12\tRX\t3\tsonda\tE5\tpotvrzení E5");
    EXPECT_EQ(m.rowText(2).section('\t', 1),
              "88\tTX\t4\tsonda\t10 04 40 69 AD 16\tdotaz na adresu 4");
    EXPECT_EQ(m.cellText(3, TrafficTableModel::Text),
              "chybný kontrolní součet: očekáván B1, přišel B2");
    EXPECT_FALSE(m.isError(1));
    EXPECT_TRUE(m.isError(3));
    EXPECT_TRUE(m.data(m.index(3, 0), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(m.data(m.index(1, 0), Qt::BackgroundRole).isValid());

    // The statistics name the address that fails and how; the last row is the link.
    QTableWidget* stats = window.Stats;
    ASSERT_EQ(stats->rowCount(), 3);
    EXPECT_EQ(stats->item(1, 0)->text(), "4");
    EXPECT_EQ(stats->item(1, 4)->text(), "1 (z toho chybný součet 1)");
    EXPECT_EQ(stats->item(2, 0)->text(), "linka");
    EXPECT_EQ(stats->item(2, 1)->text(), "2");
    window.ResetButton->click();
    EXPECT_EQ(stats->rowCount(), 1);
    EXPECT_EQ(stats->item(0, 1)->text(), "0");
}

TEST(TrafficWindow, StatisticsColumnsWidenWhenATextOutgrowsThem) {
    Bus bus;
    bus.exchange(4, kAck, 0, 2);
    TrafficWindow window(bus.tap);
    window.show();
    QTableWidget* stats = window.Stats;
    ASSERT_EQ(stats->rowCount(), 2);
    const int before = stats->columnWidth(4);
    const QString shown = stats->item(0, 4)->text();
    // The same rows, a longer text: bad frames of three kinds at the same address.
    bus.exchange(4, kBadFrame, -3, 3);
    bus.exchange(4, {0x68, 0x03, 0x04, 0x68, 0x05, 0x40, 0x6C, 0xB1, 0x16}, -3, 3);
    bus.exchange(4, {0x68, 0x03, 0x03, 0x68, 0x05, 0x40, 0x6C, 0xB1, 0x17}, -3, 3);
    // The statistics are redrawn once a second of the tap's clock, not at every update.
    window.refresh();
    EXPECT_EQ(stats->item(0, 4)->text(), shown);
    bus.clock.us += kStatsRefreshMs * 1000;
    window.refresh();
    ASSERT_EQ(stats->rowCount(), 2);
    const QString text = stats->item(0, 4)->text();
    EXPECT_TRUE(text.startsWith("3 (")) << text.toStdString();
    EXPECT_GT(stats->columnWidth(4), before);
    EXPECT_GE(stats->columnWidth(4), stats->fontMetrics().horizontalAdvance(text));
}

// Steady traffic reaches the table once a second by the tap's clock, not at every tick.
TEST(TrafficWindow, SteadyTrafficIsTakenOnceASecond) {
    Bus bus;
    bus.exchange(3, kAck, 0, 2);
    TrafficWindow window(bus.tap);
    window.show();
    TrafficTableModel& m = window.model();
    ASSERT_EQ(m.rowCount(), 2);
    window.RefreshTimer->setInterval(1);
    const auto rowsBecome = [&](int rows) {
        return QTest::qWaitFor([&] { return m.rowCount() == rows; }, 2000);
    };

    bus.exchange(3, kAck, 0, 2);
    // Ticks within the busy span take nothing.
    int ticks = 0;
    QObject::connect(window.RefreshTimer, &QTimer::timeout, &window, [&ticks] { ++ticks; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 5; }, 2000));
    EXPECT_EQ(m.rowCount(), 2);
    bus.clock.us += (kTrafficBusyRefreshMs - kTrafficRefreshMs / 2) * 1000;
    EXPECT_TRUE(rowsBecome(4));

    // A second later the next batch comes whole.
    for (int i = 0; i < 10; ++i) bus.exchange(5, kAck, 0, 2);
    EXPECT_TRUE(rowsBecome(24));
}

TEST(TrafficWindow, FiltersPauseClearAndCopy) {
    Bus bus;
    for (int i = 0; i < 5; ++i) bus.exchange(3, kAck, 0, 2);
    bus.exchange(4, {}, -1, 3);
    TrafficWindow window(bus.tap);
    window.show();
    TrafficTableModel& m = window.model();
    EXPECT_EQ(m.rowCount(), 12);

    window.AddressFilter->setValue(4);
    ASSERT_EQ(m.rowCount(), 2);
    EXPECT_EQ(m.cellText(1, TrafficTableModel::Text), "bez odpovědi do 200 ms");
    window.AddressFilter->setValue(-1);
    window.ErrorsOnly->setChecked(true);
    ASSERT_EQ(m.rowCount(), 1);
    EXPECT_EQ(m.cellText(0, TrafficTableModel::Address), "4");
    window.ErrorsOnly->setChecked(false);

    window.PauseButton->click();
    EXPECT_EQ(window.PauseButton->text(), "&Pokračovat");
    bus.exchange(3, kAck, 0, 2);
    window.refresh();
    EXPECT_EQ(m.rowCount(), 12);
    window.PauseButton->click();  // the frames recorded meanwhile appear
    EXPECT_EQ(m.rowCount(), 14);

    window.Table->selectRow(1);
    EXPECT_EQ(window.selectedText().section('\t', 2), "RX\t3\tsonda\tE5\tpotvrzení E5");

    window.ClearButton->click();
    EXPECT_EQ(m.rowCount(), 0);
    EXPECT_EQ(bus.tap.frame(0), nullptr);
    bus.exchange(3, kAck, 0, 2);
    window.refresh();
    EXPECT_EQ(m.rowCount(), 2);
}

TEST(TrafficWindow, RowsOfDroppedFramesGoAndTheTailIsFollowed) {
    Bus bus(400);
    for (int i = 0; i < 100; ++i) bus.exchange(i % 32, kAck, 0, 2);
    TrafficWindow window(bus.tap);
    window.resize(800, 400);
    window.show();
    TrafficTableModel& m = window.model();
    EXPECT_EQ(m.rowCount(), 200);
    QScrollBar* bar = window.Table->verticalScrollBar();
    window.Table->scrollToBottom();
    ASSERT_GT(bar->maximum(), 0);

    for (int i = 0; i < 150; ++i) bus.exchange(1, kAck, 0, 2);
    window.refresh();
    EXPECT_EQ(m.rowCount(), 400);  // the ring's capacity
    EXPECT_EQ(m.frameAt(0)->seq, bus.tap.firstSeq());
    EXPECT_EQ(bar->value(), bar->maximum());

    // Rows of a few dropped frames wait for a batch; they show nothing meanwhile.
    bus.exchange(1, kAck, 0, 2);
    window.refresh();
    EXPECT_EQ(m.rowCount(), 402);
    EXPECT_EQ(m.cellText(0, TrafficTableModel::Bytes), "");

    // Scrolled up, the view stays on the rows the user put in it.
    bar->setValue(20);
    for (int i = 0; i < 4; ++i) bus.exchange(1, kAck, 0, 2);
    window.refresh();
    EXPECT_EQ(m.rowCount(), 400);
    EXPECT_EQ(bar->value(), 20 - 10);  // the ten dropped rows moved it up
    EXPECT_LT(bar->value(), bar->maximum());
}

// The bytes column shows whole bytes that fit and says when some are left out, whatever its width.
TEST(TrafficWindow, BytesAreCutToWholeBytesThatFitTheColumn) {
    const QFontMetrics metrics(QApplication::font());
    QStringList all;
    for (int i = 0; i < 40; ++i)
        all << QStringLiteral("%1").arg(i * 6 + 10, 2, 16, QChar('0')).toUpper();
    const QString full = all.join(' ');
    const QString cutByModel = full + QStringLiteral(" …");
    const int fullWidth = metrics.horizontalAdvance(full);
    EXPECT_EQ(TrafficRowDelegate::fitBytes(full, 2 * fullWidth, metrics), full);
    EXPECT_EQ(TrafficRowDelegate::fitBytes("E5", 100, metrics), "E5");
    EXPECT_EQ(TrafficRowDelegate::fitBytes(full, 1, metrics), "…");
    for (const QString& text : {full, cutByModel}) {
        for (int width = 30; width <= 2 * fullWidth; width += 7) {
            const QString shown = TrafficRowDelegate::fitBytes(text, width, metrics);
            SCOPED_TRACE(width);
            EXPECT_LE(metrics.horizontalAdvance(shown), width);
            if (shown == text || shown == QStringLiteral("…")) continue;
            ASSERT_TRUE(shown.endsWith(QStringLiteral(" …")));
            const QString kept = shown.chopped(2);
            EXPECT_TRUE(full.startsWith(kept + ' ')) << kept.toStdString();
            EXPECT_EQ(kept.size() % 3, 2);  // whole bytes only
        }
    }
}

TEST(TrafficWindow, SavesTextOrCaptureByExtension) {
    Bus bus;
    bus.exchange(3, kAck, 0, 2);
    bus.exchange(4, {}, -1, 3);
    TrafficWindow window(bus.tap);
    window.show();
    QTemporaryDir dir;

    const QString text = dir.filePath("provoz.txt");
    ASSERT_TRUE(window.saveTo(text));
    QFile t(text);
    ASSERT_TRUE(t.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(t.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "Čas\tΔ ms\tSměr\tAdresa\tDruh\tBajty\tVerdikt");
    EXPECT_EQ(lines[2], window.model().rowText(1));

    const QString capture = dir.filePath("provoz.PCAP");
    ASSERT_TRUE(window.saveTo(capture));
    QFile c(capture);
    ASSERT_TRUE(c.open(QIODevice::ReadOnly));
    const QByteArray bytes = c.readAll();
    // Three frames with bytes; the time-out row has nothing on the wire.
    EXPECT_EQ(static_cast<std::size_t>(bytes.size()),
              kPcapHeaderBytes + 3 * (kPcapRecordHeaderBytes + kRtacHeaderBytes) + 6 + 1 + 6);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xD4);

    test::MessageRecorder messages;
    EXPECT_FALSE(window.saveTo(dir.filePath("missing/provoz.txt")));
    ASSERT_EQ(messages.calls.size(), 1u);
}

// A name given without an extension gets the one of the type chosen in the dialog.
TEST(TrafficWindow, SaveAddsTheChosenTypesExtension) {
    Bus bus;
    bus.exchange(3, kAck, 0, 2);
    TrafficWindow window(bus.tap);
    window.show();
    QTemporaryDir dir;
    QString name;
    QString type;
    window.setSaveAsker([&](QString& filter) {
        filter = type;
        return dir.filePath(name);
    });
    name = "zachyceno";
    type = "Záznam pro Wireshark (*.pcap)";
    window.SaveButton->click();
    QFile capture(dir.filePath("zachyceno.pcap"));
    ASSERT_TRUE(capture.open(QIODevice::ReadOnly));
    EXPECT_EQ(static_cast<unsigned char>(capture.read(1)[0]), 0xD4);
    EXPECT_FALSE(QFile::exists(dir.filePath("zachyceno")));

    name = "vypis";
    type = "Text (*.txt)";
    window.saveAs();
    EXPECT_TRUE(QFile::exists(dir.filePath("vypis.txt")));
    // A name with an extension keeps it; the extension says the type.
    name = "provoz.log";
    window.saveAs();
    QFile text(dir.filePath("provoz.log"));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_TRUE(text.readAll().startsWith("Čas\t"));
}

// A taller window gives the statistics more rows too, not the frame table alone.
TEST(TrafficWindow, StatisticsGrowWithTheWindow) {
    Bus bus;
    for (int a = 1; a <= 12; ++a) bus.exchange(a, kAck, 0, 2);
    TrafficWindow window(bus.tap);
    window.show();
    QTableWidget* stats = window.Stats;
    ASSERT_EQ(stats->rowCount(), 13);
    const int rowHeight = stats->rowHeight(0);
    const auto rowsInView = [&] { return stats->viewport()->height() / rowHeight; };
    const int before = rowsInView();
    EXPECT_GE(before, 6);
    window.resize(window.width(), window.height() + 18 * rowHeight);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rowsInView() >= before + 5; }, 2000)) << before;
}
