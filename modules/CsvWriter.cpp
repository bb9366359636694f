#include "modules/CsvWriter.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <span>

#include <QFileInfo>

#include "comm/FileStore.h"

namespace velor {

namespace {
constexpr char kSeparator = ';';
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
}  // namespace

CsvValue CsvValue::number(double value, int decimals) {
    CsvValue v;
    v.isNumber = true;
    v.value = value;
    v.decimals = std::clamp(decimals, 0, 15);
    return v;
}

CsvValue CsvValue::text(std::string utf8) {
    CsvValue v;
    v.utf8 = std::move(utf8);
    return v;
}

std::string CsvWriter::headerLine(const std::string& timeTitle, const std::string& addressTitle,
                                  const std::vector<std::string>& valueTitles) {
    std::string header = kByteOrderMark + quoted(timeTitle) + kSeparator + quoted(addressTitle);
    for (const std::string& title : valueTitles) header += kSeparator + quoted(title);
    return header;
}

// Unbuffered: a line is in the file once write() returned, and nothing waits in a buffer that a
// later close could still push out after a failure.
bool CsvWriter::openFile(const QString& path, QIODevice::OpenMode mode) {
    file_.setFileName(path);
    errno = 0;
    if (file_.open(mode | QIODevice::WriteOnly | QIODevice::Unbuffered)) return true;
    noteError(file_);
    return false;
}

void CsvWriter::reset() {
    close();
    error_.clear();
    reason_.clear();
    fileError_ = {};
    committed_ = 0;
}

void CsvWriter::noteFileError(const QString& path, const FileError& error) {
    fileError_ = error;
    reason_ = QString::fromStdString(describeFileError(error));
    error_ = path + ": " + reason_;
}

bool CsvWriter::open(const QString& path, const std::string& timeTitle,
                     const std::string& addressTitle, const std::vector<std::string>& valueTitles) {
    reset();
    const std::string header = headerLine(timeTitle, addressTitle, valueTitles) + "\r\n";
    // The header through the program's one file writer, which refuses a device, a pipe or a
    // folder at the path (writing to them could block, or send a table to a device); the rows
    // are then appended.
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(header.data()), header.size());
    if (const auto error = saveFileDurably(path.toStdString(), bytes)) {
        noteFileError(path, *error);
        return false;
    }
    if (!openFile(path, QIODevice::Append)) return false;
    committed_ = static_cast<qint64>(header.size());
    return true;
}

CsvAppend CsvWriter::append(const QString& path, const std::string& timeTitle,
                            const std::string& addressTitle,
                            const std::vector<std::string>& valueTitles) {
    const QFileInfo info(path);
    if (!info.exists() || (info.isFile() && info.size() == 0)) {
        return open(path, timeTitle, addressTitle, valueTitles) ? CsvAppend::Created
                                                                : CsvAppend::Failed;
    }
    reset();
    // Only a regular file is read: a pipe or a device could wait for ever.
    if (!info.isFile()) {
        noteFileError(path, {FileError::Cause::NotRegularFile, 0});
        return CsvAppend::Failed;
    }
    const std::string header = headerLine(timeTitle, addressTitle, valueTitles) + "\r\n";
    QFile existing(path);
    errno = 0;
    if (!existing.open(QIODevice::ReadOnly)) {
        noteError(existing);
        return CsvAppend::Failed;
    }
    const QByteArray head = existing.read(static_cast<qint64>(header.size()));
    existing.seek(existing.size() - 1);
    const bool endsWithLine = existing.read(1) == "\n";
    existing.close();
    if (head.toStdString() != header) return CsvAppend::OtherTable;
    if (!openFile(path, QIODevice::Append)) return CsvAppend::Failed;
    committed_ = file_.size();
    // A row someone left without its line end gets one, so the first new row starts a line.
    if (!endsWithLine && !write("")) return CsvAppend::Failed;
    return CsvAppend::Appended;
}

bool CsvWriter::appendRow(const QDateTime& time, int address, const std::vector<CsvValue>& values) {
    if (!file_.isOpen() || failed()) return false;
    std::string line = timeText(time) + kSeparator + std::to_string(address);
    for (const CsvValue& v : values) line += kSeparator + cell(v);
    return write(line) && flush();
}

bool CsvWriter::flush() {
    if (!file_.isOpen()) return false;
    if (!failed() && !file_.flush()) fail();
    return !failed();
}

void CsvWriter::close() {
    if (file_.isOpen()) {
        flush();
        file_.close();
    }
}

bool CsvWriter::write(const std::string& line) {
    const std::string withEnd = line + "\r\n";
    if (file_.write(withEnd.data(), static_cast<qint64>(withEnd.size())) !=
        static_cast<qint64>(withEnd.size())) {
        fail();
        return false;
    }
    committed_ += static_cast<qint64>(withEnd.size());
    return true;
}

// Keeps the reason, cuts a partly written line off and gives the file up: the rows before
// stay a valid table.
// Called right after the failing call, while errno still holds its reason.
void CsvWriter::noteError(const QFile& file) {
    fileError_ = {FileError::Cause::System, errno};
    reason_ = file.errorString();
    error_ = file.fileName() + ": " + reason_;
}

void CsvWriter::fail() {
    noteError(file_);
    file_.resize(committed_);
    file_.close();
}

std::string CsvWriter::timeText(const QDateTime& time) {
    return time.toLocalTime().toString(Qt::ISODateWithMs).toStdString();
}

std::string CsvWriter::cell(const CsvValue& v) const {
    if (!v.isNumber) return quoted(v.utf8);
    if (!std::isfinite(v.value))
        return std::isnan(v.value) ? "NaN" : (v.value > 0 ? "Inf" : "-Inf");
    // Rounded as printf rounds, as the unit windows show the value (1.25 with one decimal is
    // 1.2 there), but without the locale: '.' is the only separator to replace.
    char text[400];
    const auto end =
        std::to_chars(text, text + sizeof text, v.value, std::chars_format::fixed, v.decimals);
    std::string s(text, end.ec == std::errc() ? end.ptr : text);
    std::replace(s.begin(), s.end(), '.', decimal_);
    return s;
}

// Quotes a text only where a spreadsheet would otherwise split or misread it.
std::string CsvWriter::quoted(const std::string& utf8) {
    if (utf8.find_first_of(";\"\r\n") == std::string::npos) return utf8;
    std::string q = "\"";
    for (char c : utf8) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

}  // namespace velor
