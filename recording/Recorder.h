#pragma once
// The value recording without its window: each answer of the polled unit window becomes one
// CSV row of what the window shows. KALU: the twelve values (offset applied, with the input's
// decimals); TEV, TEVW, MOKR: the state and the shown value of each input; TEW: the relays as
// read back. A failed transfer writes no values: the time column shows the gap, and the
// optional error column marks it. The recording ends by itself when another unit window is
// polled, or when the file cannot be written; rows written by then stay a valid table.

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/ConfigState.h"
#include "modules/AnswerDecoder.h"
#include "modules/AnswerObserver.h"
#include "modules/CsvWriter.h"

namespace velor {

inline constexpr const char* kTextErrorColumn = "Chyba přenosu";

struct RecordingOptions {
    char decimalSeparator = ',';
    bool errorColumn = false;  // a row with "Chyba přenosu" for each failed transfer
};

// Titles of the value columns of kind (UTF-8), from the input names of the configuration.
std::vector<std::string> recordedTitles(RequestKind kind, const ConfigState& config, int board);
// The value cells of one decoded answer of kind.
std::vector<CsvValue> recordedValues(RequestKind kind, const DecodeResult& shown,
                                     const KaluFormats& formats, std::uint8_t valueSet);

// How a recording continued in a file that may hold an earlier one.
enum class RecordStart {
    Created,     // a new file (or an empty one) with its header
    Continued,   // the file had the same columns: the rows go after its own
    OtherTable,  // the file holds other columns or something else: nothing was started
    Failed,      // the file cannot be written: message()
};

class Recorder {
public:
    using Clock = std::function<QDateTime()>;
    // config is read when a recording starts and at each answer (offsets, decimals, address).
    explicit Recorder(const ConfigState& config, Clock clock = {});

    // Creates the file with its header and records the answers of kind from now on. False,
    // with message() set, when the file cannot be created.
    bool start(const QString& path, RequestKind kind, int board, const RecordingOptions& options);
    // The same without ever losing what path holds: an earlier recording of the same columns
    // goes on, a file of other content is left alone.
    RecordStart resume(const QString& path, RequestKind kind, int board,
                       const RecordingOptions& options);
    // Ends the recording; note (UTF-8) becomes message().
    void stop(const std::string& note = {});
    // The loop's answer hook.
    void onAnswer(const PolledAnswer& polled);
    // The unit window polled now: a recording of another kind ends.
    void checkPolled(RequestKind monitored);

    bool recording() const { return csv_.isOpen(); }
    RequestKind kind() const { return kind_; }
    std::int64_t rows() const { return rows_; }
    std::int64_t gaps() const { return gaps_; }
    qint64 fileSize() const { return csv_.bytesWritten(); }
    QString path() const { return path_; }
    // Why the last recording ended or could not start (Czech); empty while all is well.
    QString message() const { return message_; }

private:
    std::vector<std::string> prepare(const QString& path, RequestKind kind, int board,
                                     const RecordingOptions& options);
    QString failureReason() const;
    void record(const PolledAnswer& polled);
    void recordGap();
    void writeFailed();
    int address() const;

    const ConfigState& config_;
    Clock clock_;
    CsvWriter csv_;
    RecordingOptions options_;
    RequestKind kind_ = RequestKind::Kalu;
    std::size_t valueColumns_ = 0;
    std::int64_t rows_ = 0;
    std::int64_t gaps_ = 0;
    QString path_;
    QString message_;
};

}  // namespace velor
