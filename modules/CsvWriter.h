#pragma once
// A table of answers as a CSV file that spreadsheets open as they stand: UTF-8 with a byte-order
// mark, ';' between columns, the decimal comma by default. The first two columns are the local
// time (ISO 8601 with milliseconds) and the module address, then one column per value. Each row
// goes to the file as it is written, so a run that is cut short keeps what it recorded; a row
// that fails half-way (a full disk) is cut off again, so the file ends with a whole row.

#include <QDateTime>
#include <QFile>
#include <QString>
#include <string>
#include <vector>

#include "comm/FileStore.h"

namespace velor {

// One value of a row: a number with a fixed count of decimals, or a text.
struct CsvValue {
    static CsvValue number(double value, int decimals);
    static CsvValue text(std::string utf8);

    bool isNumber = false;
    double value = 0.0;
    int decimals = 0;
    std::string utf8;
};

// How append() found the file.
enum class CsvAppend {
    Created,     // missing or empty: the header was written
    Appended,    // it began with the same header: the rows go after its own
    OtherTable,  // it holds something else and is left as it is
    Failed,      // it cannot be read or written (errorText())
};

class CsvWriter {
public:
    explicit CsvWriter(char decimalSeparator = ',') : decimal_(decimalSeparator) {}
    void setDecimalSeparator(char decimalSeparator) { decimal_ = decimalSeparator; }

    // Creates (or replaces) the file and writes the header: timeTitle, addressTitle and the
    // value titles. False, with errorText() set, when the file cannot be written.
    bool open(const QString& path, const std::string& timeTitle, const std::string& addressTitle,
              const std::vector<std::string>& valueTitles);
    // Continues the table in path without losing what the file holds: see CsvAppend.
    CsvAppend append(const QString& path, const std::string& timeTitle,
                     const std::string& addressTitle, const std::vector<std::string>& valueTitles);
    bool appendRow(const QDateTime& time, int address, const std::vector<CsvValue>& values);
    bool flush();
    void close();

    bool isOpen() const { return file_.isOpen(); }
    // Bytes of the file that hold whole lines (header included).
    qint64 bytesWritten() const { return committed_; }
    bool failed() const { return !error_.isEmpty(); }
    // The file and the reason of the first failure; empty while all went well.
    QString errorText() const { return error_; }
    // That reason alone, in the system's words, and what it was.
    QString systemReason() const { return reason_; }
    const FileError& fileError() const { return fileError_; }

    // The cell texts, exposed for the tests and for a window that shows the same table.
    static std::string timeText(const QDateTime& time);
    std::string cell(const CsvValue& value) const;
    static std::string quoted(const std::string& utf8);

private:
    static std::string headerLine(const std::string& timeTitle, const std::string& addressTitle,
                                  const std::vector<std::string>& valueTitles);
    void reset();
    bool openFile(const QString& path, QIODevice::OpenMode mode);
    void noteFileError(const QString& path, const FileError& error);
    bool write(const std::string& line);
    void noteError(const QFile& file);
    void fail();

    char decimal_;
    QFile file_;
    QString error_;
    QString reason_;
    FileError fileError_;
    qint64 committed_ = 0;
};

}  // namespace velor
