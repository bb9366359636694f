// The value recording: CSV rows of known answers, gaps of failed transfers, the end of a
// recording when another window is polled or the disk is full.

#include <gtest/gtest.h>

#ifdef VELOR_TEST_POSIX_FACILITIES
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <algorithm>
#include <set>

#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <vector>

#include "comm/ByteCodec.h"
#include "modules/RequestBuilders.h"
#include "monitor/MainLoopState.h"
#include "recording/Recorder.h"
#include "support/FileBytes.h"
#include "ui/Cp1250.h"

namespace velor {
namespace {

using test::fileText;

QDateTime at(int ms) {
    return QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53).addMSecs(ms));
}

std::vector<std::uint8_t> kaluAnswer(const std::array<float, 12>& values) {
    std::vector<std::uint8_t> a(48);
    for (std::size_t i = 0; i < 12; ++i) codec::putF32(a, 4 * i, values[i]);
    return a;
}

PolledAnswer failureOf(RequestKind kind) {
    return {kind, kind, false, {}, {}};
}

struct RecorderTest : ::testing::Test {
    RecorderTest() : recorder(config, [this] { return at(100 * tick++); }) {
        config.AnalogConfig.ModuleAddress = 7;
        config.BinaryConfig.ModuleAddress = 3;
        for (std::size_t i = 0; i < 12; ++i) config.AnalogConfig.Inputs[i].Decimals = 1;
        config.AnalogConfig.Inputs[0].Name = utf8ToCp1250("Teplota přívodu  ");
        config.AnalogConfig.Inputs[1].Name = utf8ToCp1250("Tlak; čerpadlo");
        config.AnalogConfig.Inputs[1].Offset = 0.25f;
        config.AnalogConfig.Inputs[1].Decimals = 2;
        path = dir.filePath("zaznam.csv");
    }
    // The answer as the polling loop hands it on: decoded once, as its window shows it.
    PolledAnswer answerOf(RequestKind kind, std::span<const std::uint8_t> bytes,
                          const UnitSelections& sel = {}) {
        UnitSelections flipped = sel;
        shown =
            DecodeAnswer(kind, bytes, kaluFormatsOf(config.AnalogConfig), {}, flipped, shownState);
        return {kind, kind, shown.decoded, shown.decoded ? &shown : nullptr, sel};
    }
    QTemporaryDir dir;
    ConfigState config;
    int tick = 0;
    Recorder recorder;
    QString path;
    DecoderState shownState;  // the unit windows' copy of the last answers
    DecodeResult shown;
};

// Header (BOM, names with diacritics, a name holding ';' quoted, blank names numbered) and
// rows with the decimal comma, the offset applied and the input's decimals.
TEST_F(RecorderTest, KaluRowsMatchKnownText) {
    ASSERT_TRUE(recorder.start(path, RequestKind::Kalu, 0, {}));
    std::array<float, 12> v{};
    v[0] = 21.54f;
    v[1] = -1.5f;
    v[11] = 4.0f;
    const auto a = kaluAnswer(v);
    recorder.onAnswer(answerOf(RequestKind::Kalu, a));
    recorder.onAnswer(failureOf(RequestKind::Kalu));  // no row, no fake values, no time taken
    recorder.onAnswer(answerOf(RequestKind::Kalu, a));
    recorder.stop();

    const std::string text = fileText(path);
    const std::string header =
        "\xEF\xBB\xBF"
        "Čas;Adresa;Teplota přívodu;\"Tlak; čerpadlo\";Vstup 2;Vstup 3;Vstup 4;Vstup 5;Vstup 6;"
        "Vstup 7;Vstup 8;Vstup 9;Vstup 10;Vstup 11\r\n";
    const std::string values = ";7;21,5;-1,25;0,0;0,0;0,0;0,0;0,0;0,0;0,0;0,0;0,0;4,0\r\n";
    EXPECT_EQ(text,
              header + CsvWriter::timeText(at(0)) + values + CsvWriter::timeText(at(100)) + values);
    EXPECT_EQ(recorder.rows(), 2);
    EXPECT_EQ(recorder.gaps(), 1);
    EXPECT_EQ(recorder.fileSize(), static_cast<qint64>(text.size()));
}

// With the error column a failed transfer gets a row of empty values saying so, the decimal
// point may be chosen, and a short answer counts as a failure too.
TEST_F(RecorderTest, ErrorColumnMarksFailedTransfers) {
    RecordingOptions options;
    options.errorColumn = true;
    options.decimalSeparator = '.';
    ASSERT_TRUE(recorder.start(path, RequestKind::Kalu, 0, options));
    std::array<float, 12> v{};
    v[0] = 1.25f;
    const auto a = kaluAnswer(v);
    recorder.onAnswer(answerOf(RequestKind::Kalu, a));
    recorder.onAnswer({RequestKind::Kalu, RequestKind::Kalu, false, {}, {}});
    recorder.stop();

    const std::string text = fileText(path);
    EXPECT_NE(text.find(";Vstup 11;Chyba přenosu\r\n"), std::string::npos);
    EXPECT_NE(text.find(";7;1.2;0.25;0.0;0.0;0.0;0.0;0.0;0.0;0.0;0.0;0.0;0.0;\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(CsvWriter::timeText(at(100)) + ";7;;;;;;;;;;;;;Chyba přenosu\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(recorder.rows(), 1);
}

// Another unit window polled: the recording ends with a note and writes nothing more.
TEST_F(RecorderTest, SwitchingThePolledWindowEndsTheRecording) {
    ASSERT_TRUE(recorder.start(path, RequestKind::Kalu, 0, {}));
    const auto a = kaluAnswer({});
    recorder.onAnswer(answerOf(RequestKind::Kalu, a));
    const std::vector<std::uint8_t> tew = {0x01, 0x00};
    recorder.onAnswer(answerOf(RequestKind::Tew, tew));
    EXPECT_FALSE(recorder.recording());
    EXPECT_TRUE(recorder.message().contains(QStringLiteral("jiné okno")));
    EXPECT_EQ(recorder.rows(), 1);

    ASSERT_TRUE(recorder.start(path, RequestKind::Tev, 0, {}));
    recorder.checkPolled(kMonitoredNone);  // the window was closed
    EXPECT_FALSE(recorder.recording());
}

// TEW: the relays as read back; MOKR: one row per pair of answers, with the state and the
// shown set's value of each input of the board read.
TEST_F(RecorderTest, BinaryRowsHoldStatesAndTheShownSet) {
    ASSERT_TRUE(recorder.start(path, RequestKind::Tew, 0, {}));
    UnitSelections sel;
    sel.GappedInputLayout = false;
    const std::vector<std::uint8_t> tew = {0x05, 0x08};  // relays 1, 3 and 12
    recorder.onAnswer(answerOf(RequestKind::Tew, tew, sel));
    recorder.stop();
    EXPECT_NE(fileText(path).find(";3;1;0;1;0;0;0;0;0;0;0;0;1\r\n"), std::string::npos)
        << fileText(path);

    config.BinaryConfig.Inputs[8].Name = utf8ToCp1250("Dveře");
    ASSERT_TRUE(recorder.start(path, RequestKind::Mokr, 1, {}));
    sel = {};
    sel.MokrInputPiggy = 1;
    sel.MokrInputSet = kSetPulsePeriod;
    std::vector<std::uint8_t> counters(48);
    codec::putU16(counters, 32, 1234);  // period of input 1
    std::vector<std::uint8_t> states(16);
    states[1] = 0x00;      // unfiltered bits of board 1
    states[8 + 1] = 0x01;  // filtered: input 1 on
    recorder.onAnswer(answerOf(RequestKind::Mokr, counters, sel));
    EXPECT_EQ(recorder.rows(), 0);
    sel.MokrWritePhase = true;
    recorder.onAnswer(answerOf(RequestKind::Mokr, states, sel));
    recorder.stop();
    const std::string text = fileText(path);
    EXPECT_NE(text.find("Adresa;Sada hodnot;Dveře stav;Dveře hodnota;Vstup 2 stav"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(";3;Perioda pulzu;1;1234;0;0;"), std::string::npos) << text;
    EXPECT_EQ(recorder.rows(), 1);
}

// A recording started between the two MOKR answers writes what the window shows: the counters
// of the answer before the start beside the states of the answer after it.
TEST_F(RecorderTest, MokrRowStartedBetweenTheTwoAnswersHoldsTheShownCounters) {
    UnitSelections sel;
    sel.MokrInputSet = kSetPulsePeriod;
    std::vector<std::uint8_t> counters(48);
    codec::putU16(counters, 32, 1234);                              // period of input 1
    recorder.onAnswer(answerOf(RequestKind::Mokr, counters, sel));  // shown, not recorded
    ASSERT_TRUE(recorder.start(path, RequestKind::Mokr, 0, {}));
    sel.MokrWritePhase = true;
    std::vector<std::uint8_t> states(16);
    states[8] = 0x01;  // filtered: input 1 on
    recorder.onAnswer(answerOf(RequestKind::Mokr, states, sel));
    recorder.stop();
    EXPECT_EQ(recorder.rows(), 1);
    EXPECT_NE(fileText(path).find(";3;Perioda pulzu;1;1234;0;0;"), std::string::npos)
        << fileText(path);
}

// The reason in our Czech words first, the system's own words after them.
TEST_F(RecorderTest, UnwritableFileIsReportedAtStart) {
    const QString missing = dir.filePath("chybi/zaznam.csv");
    EXPECT_FALSE(recorder.start(missing, RequestKind::Kalu, 0, {}));
    EXPECT_EQ(recorder.message(), QStringLiteral("Soubor záznamu nelze vytvořit: %1. Složka "
                                                 "neexistuje (No such file or directory).")
                                      .arg(missing));
    EXPECT_FALSE(recorder.recording());
    EXPECT_EQ(recorder.resume(missing, RequestKind::Kalu, 0, {}), RecordStart::Failed);
    EXPECT_TRUE(recorder.message().contains(QStringLiteral("Složka neexistuje (")));
#ifdef VELOR_TEST_POSIX_FACILITIES  // named pipes
    // A pipe at the path is neither read (it could wait for ever) nor written.
    const QString pipe = dir.filePath("roura.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(recorder.resume(pipe, RequestKind::Kalu, 0, {}), RecordStart::Failed);
    EXPECT_TRUE(recorder.message().endsWith(
        QStringLiteral("Není to obyčejný soubor (not a regular file).")))
        << recorder.message().toStdString();
#endif
}

// A recording started again goes on in the same file: one header, every row kept. A file of
// other columns, or one that is no recording at all, is left exactly as it was.
TEST_F(RecorderTest, ResumeContinuesTheSameColumnsAndLeavesOtherFilesAlone) {
    const auto a = kaluAnswer({1.5f});
    EXPECT_EQ(recorder.resume(path, RequestKind::Kalu, 0, {}), RecordStart::Created);
    recorder.onAnswer(answerOf(RequestKind::Kalu, a));
    recorder.onAnswer(answerOf(RequestKind::Kalu, a));
    recorder.stop();
    const std::string first = fileText(path);

    EXPECT_EQ(recorder.resume(path, RequestKind::Kalu, 0, {}), RecordStart::Continued);
    EXPECT_EQ(recorder.message(), QStringLiteral("Záznam pokračuje na konci souboru."));
    recorder.onAnswer(answerOf(RequestKind::Kalu, a));
    EXPECT_EQ(recorder.fileSize(), static_cast<qint64>(fileText(path).size()));
    recorder.stop();
    const std::string both = fileText(path);
    ASSERT_EQ(both.substr(0, first.size()), first);
    const std::string added = both.substr(first.size());
    EXPECT_EQ(added, CsvWriter::timeText(at(200)) +
                         ";7;1,5;0,25;0,0;0,0;0,0;0,0;0,0;0,0;0,0;0,0;0,0;0,0\r\n");

    RecordingOptions withErrors;
    withErrors.errorColumn = true;
    EXPECT_EQ(recorder.resume(path, RequestKind::Kalu, 0, withErrors), RecordStart::OtherTable);
    EXPECT_EQ(recorder.resume(path, RequestKind::Tev, 0, {}), RecordStart::OtherTable);
    EXPECT_FALSE(recorder.recording());
    EXPECT_EQ(fileText(path), both);

    const QString notes = dir.filePath("poznamky.csv");
    QFile other(notes);
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("a;b\r\n1;2");
    other.close();
    EXPECT_EQ(recorder.resume(notes, RequestKind::Kalu, 0, {}), RecordStart::OtherTable);
    EXPECT_EQ(fileText(notes), "a;b\r\n1;2");
}

#ifdef VELOR_TEST_POSIX_FACILITIES
// A file-size limit in a child process plays the full disk: the recording stops with the
// message, and the file holds the header and whole rows only.
TEST_F(RecorderTest, FullDiskStopsTheRecordingAndKeepsWholeRows) {
    constexpr rlim_t kLimit = 1500;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kLimit, kLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
        if (!recorder.start(path, RequestKind::Kalu, 0, {})) _exit(2);
        const auto a = kaluAnswer({1.5f, 2.5f});
        for (int i = 0; i < 100 && recorder.recording(); ++i)
            recorder.onAnswer(answerOf(RequestKind::Kalu, a));
        const bool stopped = !recorder.recording() && recorder.rows() > 0 &&
                             recorder.message().startsWith(QStringLiteral("Záznam zastaven"));
        _exit(stopped ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const std::string text = fileText(path);
    ASSERT_FALSE(text.empty());
    EXPECT_LE(text.size(), kLimit);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    std::size_t rows = 0;
    for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2))
        ++rows;
    EXPECT_GT(rows, 2u);
    // Every row has all its columns: none was cut half-way.
    std::size_t lineStart = text.find("\r\n") + 2;
    while (lineStart < text.size()) {
        const std::size_t end = text.find("\r\n", lineStart);
        EXPECT_EQ(std::count(text.begin() + lineStart, text.begin() + end, ';'), 13);
        lineStart = end + 2;
    }
}
#endif  // VELOR_TEST_POSIX_FACILITIES

}  // namespace
}  // namespace velor
