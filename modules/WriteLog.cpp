#include "modules/WriteLog.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <utility>

namespace velor {

namespace {

QString qpath(const std::string& path) {
    return QString::fromStdString(path);
}

std::string oldPathOf(const std::string& path) {
    const QFileInfo info(qpath(path));
    return info.dir().filePath(QString::fromUtf8(kWriteLogOldName)).toStdString();
}

}  // namespace

WriteLog::WriteLog(WriteLogSetup setup) : setup_(std::move(setup)) {
    if (!setup_.clock) setup_.clock = [] { return QDateTime::currentDateTime(); };
    if (!setup_.user) setup_.user = currentUserName;
}

std::string WriteLog::lineOf(const WriteEntry& entry, const QDateTime& time,
                             const std::string& user) {
    std::string line = time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toStdString();
    line += " | " + user;
    line += " | " + entry.port;
    line += " | adresa " + std::to_string(entry.address) + " " + entry.kind;
    line += " | " + entry.what;
    line += entry.accepted ? std::string(" | přijato") : " | chyba: " + entry.reason;
    // One entry, one line, whatever a file name or a reason holds.
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return line;
}

bool WriteLog::append(const WriteEntry& entry) {
    const std::string line = lineOf(entry, setup_.clock(), setup_.user());
    session_.push_back(line);
    return write(line);
}

bool WriteLog::write(const std::string& line) {
    rotateIfFull();
    QFile file(qpath(setup_.path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        reportFailure(file.errorString().toStdString());
        return false;
    }
    const QByteArray bytes = QByteArray::fromStdString(line + "\n");
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        reportFailure(file.errorString().toStdString());
        return false;
    }
    return true;
}

// A full log becomes the old one; the old one before it goes. A rename that fails leaves the
// log growing: a longer log is better than a lost one.
void WriteLog::rotateIfFull() {
    const QFileInfo info(qpath(setup_.path));
    if (!info.isFile() || info.size() < setup_.rotateBytes) return;
    const QString old = qpath(oldPathOf(setup_.path));
    QFile::remove(old);
    QFile::rename(info.filePath(), old);
}

void WriteLog::reportFailure(const std::string& why) {
    if (std::exchange(failureReported_, true) || !cannotWrite_) return;
    cannotWrite_(std::string("Soubor ") + setup_.path + " nelze zapsat (" + why +
                 "). Zápisy do modulů pokračují, ale nezaznamenávají se.");
}

std::string currentUserName() {
    for (const char* name : {"USER", "USERNAME", "LOGNAME"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty()) return value.toStdString();
    }
    return "?";
}

std::string portSettingsText(const PortRecord& record, std::uint16_t tcpPort,
                             const std::string& device) {
    if (record.PortNumber == 0) return "TCP " + getTcpHost(record) + ":" + std::to_string(tcpPort);
    const std::string port = device.empty() ? "COM" + std::to_string(record.PortNumber) : device;
    return port + " " + std::to_string(baudRateAt(record.BaudIndex)) + " Bd, " +
           (record.NoParity == 0 ? "sudá parita" : "bez parity");
}

std::string blockChecksumText(std::span<const std::uint8_t> bytes) {
    const QByteArrayView view(reinterpret_cast<const char*>(bytes.data()),
                              static_cast<qsizetype>(bytes.size()));
    const quint16 crc = qChecksum(view, Qt::ChecksumIso3309);
    return "CRC-16 0x" +
           QStringLiteral("%1").arg(crc, 4, 16, QLatin1Char('0')).toUpper().toStdString();
}

std::string OutputWriteFilter::onPoll(const std::string& kind, int address,
                                      const std::string& outputs, bool accepted) {
    Logged& m = modules_[{kind, address}];
    if (outputs == m.outputs && accepted == m.accepted) return {};
    // The module keeps what it took: a later failure of the same outputs changes nothing there.
    if (outputs == m.outputs && !accepted && m.acceptedOutputs == outputs) return {};
    const std::string old = m.acceptedOutputs.empty() ? "?" : m.acceptedOutputs;
    m.outputs = outputs;
    m.accepted = accepted;
    if (accepted) m.acceptedOutputs = outputs;
    return "výstupy " + old + " -> " + outputs;
}

void OutputWriteFilter::restart() {
    for (auto& [key, logged] : modules_) logged.outputs.clear();
}

}  // namespace velor
