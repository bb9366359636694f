#pragma once
// The log of every write the program makes to a module: one line per write in "zapisy.log" in
// the working directory, appended and flushed before the write is reported as accepted, so the
// plant's history survives a crash of the program. The file is only ever appended to; at 10 MB
// it becomes "zapisy.1.log" (the one before that is dropped). A file that cannot be written
// stops no write to a module: the program is told once, through the handler, and goes on.

#include <QDateTime>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "comm/PortRecord.h"

namespace velor {

inline constexpr const char* kWriteLogName = "zapisy.log";
inline constexpr const char* kWriteLogOldName = "zapisy.1.log";
inline constexpr std::int64_t kWriteLogRotateBytes = 10 * 1024 * 1024;
inline constexpr const char* kTextWriteLogFailed = "Záznam zápisů do modulů nelze uložit";

// Where the log goes and what it takes its time and user from; tests replace them.
struct WriteLogSetup {
    std::string path = kWriteLogName;
    std::function<QDateTime()> clock;   // empty: the local time
    std::function<std::string()> user;  // empty: the login name of the process
    std::int64_t rotateBytes = kWriteLogRotateBytes;
};

// One write to a module, as the log line tells it. Texts are UTF-8.
struct WriteEntry {
    std::string port;  // the port and its settings, see portSettingsText()
    int address = 0;
    std::string kind;  // "KALU", "TEV", ..., or the configuration target
    std::string what;  // "výstupy 0x0000 -> 0x0005", "konfigurace KonfigA.cfa, ..."
    bool accepted = false;
    std::string reason;  // why it failed
};

class WriteLog {
public:
    explicit WriteLog(WriteLogSetup setup = {});

    // Called once, with a Czech text, the first time the file cannot be written.
    void setCannotWriteHandler(std::function<void(const std::string&)> handler) {
        cannotWrite_ = std::move(handler);
    }
    // Appends the entry's line and flushes it; false when the file could not be written.
    bool append(const WriteEntry& entry);
    // The lines this log wrote (or tried to write) since it was made: the writes of the session.
    const std::vector<std::string>& sessionLines() const { return session_; }
    const std::string& path() const { return setup_.path; }

    // The line of an entry at a time, by a user, without the line end.
    static std::string lineOf(const WriteEntry& entry, const QDateTime& time,
                              const std::string& user);

private:
    bool write(const std::string& line);
    void rotateIfFull();
    void reportFailure(const std::string& why);

    WriteLogSetup setup_;
    std::function<void(const std::string&)> cannotWrite_;
    std::vector<std::string> session_;
    bool failureReported_ = false;
};

// The login name of the process (USER, USERNAME), "?" when there is none.
std::string currentUserName();

// "COM1 38400 Bd, sudá parita", "COM2 9600 Bd, bez parity", "TCP 10.0.0.5:10000"; a device
// (a path velor-cli was given) is named in place of COMn.
std::string portSettingsText(const PortRecord& record, std::uint16_t tcpPort,
                             const std::string& device = {});

// "CRC-16 0x1A2B": the checksum a configuration block is logged (and reported) with.
std::string blockChecksumText(std::span<const std::uint8_t> bytes);

// The polling loop writes the outputs of the watched module with every poll: only a change is
// a write worth a line. For each module (kind and address) it remembers what was logged last;
// a poll that carries the same outputs with the same outcome is no new line, nor is a failure
// of outputs the module had already accepted.
class OutputWriteFilter {
public:
    // The line's "what" when this poll is to be logged, empty otherwise.
    std::string onPoll(const std::string& kind, int address, const std::string& outputs,
                       bool accepted);
    // The watched window changed: the next write to each module starts again with a line.
    void restart();

private:
    struct Logged {
        std::string outputs;
        bool accepted = false;
        std::string acceptedOutputs;  // what the module last took; empty: not known
    };
    std::map<std::pair<std::string, int>, Logged> modules_;
};

}  // namespace velor
