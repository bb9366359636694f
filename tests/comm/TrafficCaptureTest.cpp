#include "comm/TrafficCapture.h"

#include <gtest/gtest.h>

#ifdef VELOR_TEST_POSIX_FACILITIES
#include <sys/stat.h>
#endif

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fstream>

#include "support/HexBytes.h"
#include "support/ManualClocks.h"

using namespace velor;
using velor::test::hex;
using velor::test::toHex;

namespace {

// A probe answered by E5, then a read answered by a variable frame.
void recordExchanges(TrafficTap& tap, test::ManualTrafficClock& clock) {
    tap.attemptStarted({5, 1});
    tap.written(hex("10 07 40 69 B0 16"));
    clock.us += 4000;
    tap.read(hex("E5"));
    ExchangeOutcome o;
    o.kind = 5;
    o.address = 7;
    o.status = 2;
    tap.attemptEnded(o);
    clock.us += 100'000;
    tap.attemptStarted({1, 1});
    tap.written(hex("68 08 08 68 07 40 6C 0B 02 00 00 64 24 16"));
    clock.us += 6000;
    tap.read(hex("68 05 05 68 07 40 6C 0A 0B C8 16"));
    o.kind = 1;
    tap.attemptEnded(o);
}

std::vector<std::uint64_t> allSeqs(const TrafficTap& tap) {
    std::vector<std::uint64_t> seqs;
    for (std::uint64_t s = tap.firstSeq(); s < tap.nextSeq(); ++s) seqs.push_back(s);
    return seqs;
}

#ifdef VELOR_TEST_POSIX_FACILITIES  // tshark
std::string writeTemp(const QTemporaryDir& dir, const std::vector<std::uint8_t>& bytes) {
    const std::string path = dir.filePath("provoz.pcap").toStdString();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

QString runTshark(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("tshark"), args);
    if (!p.waitForFinished(60'000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}
#endif

}  // namespace

TEST(TrafficCapture, FileHeaderAndRecordBytes) {
    std::vector<std::uint8_t> out;
    appendPcapHeader(out);
    EXPECT_EQ(toHex(out),
              "D4 C3 B2 A1 02 00 04 00 00 00 00 00 00 00 00 00 FF FF 00 00 FA 00 00 00");
    out.clear();
    const auto bytes = hex("E5");
    // 1700000000 s = 0x6553F100; 123456 us = 0x0001E240.
    appendPcapRecord(out, {Direction::Rx, 1'700'000'000'123'456, bytes});
    EXPECT_EQ(toHex(out),
              "00 F1 53 65 40 E2 01 00 0D 00 00 00 0D 00 00 00 "
              "65 53 F1 00 00 01 E2 40 02 00 00 00 E5");
    out.clear();
    appendPcapRecord(out, {Direction::Tx, 1'700'000'000'000'000, {}});
    EXPECT_TRUE(out.empty());  // a time-out has nothing on the wire
}

TEST(TrafficCapture, TapFramesInOrderWithTheirDirection) {
    test::ManualTrafficClock clock{1'700'000'000'123'456, 0};
    TrafficTap tap(clock);
    recordExchanges(tap, clock);
    const auto file = pcapOfFrames(tap, allSeqs(tap));
    ASSERT_EQ(file.size(),
              kPcapHeaderBytes + 4 * (kPcapRecordHeaderBytes + kRtacHeaderBytes) + 6 + 1 + 14 + 11);
    // The second record: the E5 received 4 ms after the probe went out.
    const std::size_t second = kPcapHeaderBytes + kPcapRecordHeaderBytes + kRtacHeaderBytes + 6;
    EXPECT_EQ(toHex(&file[second], 4), "00 F1 53 65");
    EXPECT_EQ(toHex(&file[second + 4], 4), "E0 F1 01 00");  // 127456 us
    EXPECT_EQ(file[second + kPcapRecordHeaderBytes + 8], kRtacRxStart);
    EXPECT_EQ(file.back(), 0x16);
}

// The writer keeps at most its bound in memory: the file grows whenever the buffer fills, and
// closing it leaves the same bytes as the capture made at once.
TEST(TrafficCapture, WriterGoesToTheFileWheneverItsBufferFills) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("c.pcap").toStdString();
    const auto frame = hex("10 07 40 69 B0 16");
    const std::size_t record = kPcapRecordHeaderBytes + kRtacHeaderBytes + frame.size();
    CaptureWriter writer(3 * record);
    ASSERT_TRUE(writer.open(path));
    const auto sizeOnDisk = [&] { return QFileInfo(QString::fromStdString(path)).size(); };
    EXPECT_EQ(sizeOnDisk(), static_cast<qint64>(kPcapHeaderBytes));
    std::vector<std::uint8_t> expected;
    appendPcapHeader(expected);
    for (int i = 1; i <= 7; ++i) {
        const CaptureFrame f{Direction::Tx, 1'700'000'000'000'000 + i, frame};
        ASSERT_TRUE(writer.append(f));
        appendPcapRecord(expected, f);
        // Three records fill the buffer.
        EXPECT_EQ(sizeOnDisk(), static_cast<qint64>(kPcapHeaderBytes + (i / 3) * 3 * record)) << i;
    }
    ASSERT_TRUE(writer.close());
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> written{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(written, expected);
}

#ifdef VELOR_TEST_POSIX_FACILITIES  // named pipes
TEST(TrafficCapture, WriterRefusesAPipeWithoutWaitingForAReader) {
    QTemporaryDir dir;
    const QString pipe = dir.filePath("p.pcap");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    CaptureWriter writer;
    EXPECT_FALSE(writer.open(pipe.toStdString()));
    EXPECT_EQ(writer.errorText(), "not a regular file");
    EXPECT_FALSE(writer.append({Direction::Tx, 0, hex("E5")}));
}
#endif

#ifdef VELOR_TEST_POSIX_FACILITIES  // tshark
bool haveTshark() {
    return !QStandardPaths::findExecutable(QStringLiteral("tshark")).isEmpty();
}

const QString kDissector = QStringLiteral(VELOR_SOURCE_DIR "/packaging/wireshark/velor.lua");

TEST(TrafficCapture, TsharkReadsTheCaptureBack) {
    if (!haveTshark()) GTEST_SKIP() << "tshark is not installed";
    test::ManualTrafficClock clock{1'700'000'000'123'456, 0};
    TrafficTap tap(clock);
    recordExchanges(tap, clock);
    QTemporaryDir dir;
    const QString path = QString::fromStdString(writeTemp(dir, pcapOfFrames(tap, allSeqs(tap))));

    const QString plain = runTshark({"-r", path, "-T", "fields", "-e", "frame.len", "-e",
                                     "rtacser.eventtype", "-e", "frame.time_epoch"});
    const QStringList lines = plain.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4) << plain.toStdString();
    EXPECT_TRUE(lines[0].startsWith("18\t0x01\t1700000000.123456")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("13\t0x02\t1700000000.127456")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("26\t0x01")) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].startsWith("23\t0x02")) << lines[3].toStdString();

    // The project's dissector names the module, the request and the answer.
    const QString decoded = runTshark(
        {"-X", "lua_script:" + kDissector, "-r", path, "-T", "fields", "-e", "velor.address", "-e",
         "velor.code", "-e", "velor.item.count", "-e", "velor.ack", "-e", "velor.checksum.ok"});
    const QStringList rows = decoded.trimmed().split('\n');
    ASSERT_EQ(rows.size(), 4) << decoded.toStdString();
    EXPECT_EQ(rows[0], "7\t\t\t\t1");
    EXPECT_EQ(rows[1], "\t\t\t0xe5\t");
    EXPECT_EQ(rows[2], "7\t0x0b\t100\t\t1");
    EXPECT_EQ(rows[3], "7\t\t\t\t1");
}

// The dissector's info column and tree say what the traffic window says: each item's direction
// once, the expected check byte of a bad frame, the bytes of noise, the repeated length by name.
TEST(TrafficCapture, DissectorTextsMatchTheWindow) {
    if (!haveTshark()) GTEST_SKIP() << "tshark is not installed";
    std::vector<std::uint8_t> file;
    appendPcapHeader(file);
    const std::int64_t t = 1'700'000'000'000'000;
    appendPcapRecord(file, {Direction::Tx, t, hex("68 08 08 68 07 40 6C 0B 02 00 00 64 24 16")});
    appendPcapRecord(file, {Direction::Tx, t + 1,
                            hex("68 12 12 68 07 40 6C 0D 02 00 00 30 03 00 00 06 "
                                "01 02 03 04 05 06 10 16")});
    appendPcapRecord(file, {Direction::Rx, t + 2, hex("55 AA 01")});
    appendPcapRecord(file, {Direction::Rx, t + 3, hex("68 05 05 68 07 40 6C 0A 0B 37 16")});
    appendPcapRecord(file, {Direction::Rx, t + 4, hex("10 07 40 00 99 16")});
    QTemporaryDir dir;
    const QString path = QString::fromStdString(writeTemp(dir, file));

    const QString out =
        runTshark({"-X", "lua_script:" + kDissector, "-r", path, "-T", "fields", "-E",
                   "separator=|", "-e", "_ws.col.Info", "-e", "velor.checksum.expected", "-e",
                   "velor.junk", "-e", "velor.length", "-e", "velor.length.repeat"});
    const QStringList rows = out.trimmed().split('\n');
    ASSERT_EQ(rows.size(), 5) << out.toStdString();
    EXPECT_EQ(rows[0].toStdString(), "modul 7: čtení 100 B|||8|8");
    EXPECT_EQ(rows[1].toStdString(), "modul 7: čtení 48 B, zápis 6 B|||18|18");
    EXPECT_EQ(rows[2].toStdString(), "3 B mimo rámec||55aa01||");
    EXPECT_EQ(
        rows[3],
        "odpověď modulu 7, 2 B dat [chybný kontrolní součet: očekáván C8, přišel 37]|0xc8||5|5");
    EXPECT_EQ(rows[4].toStdString(),
              "krátká odpověď: kladná odpověď [chybný kontrolní součet: očekáván 47, přišel 99]|"
              "0x47|||");
}
#endif
