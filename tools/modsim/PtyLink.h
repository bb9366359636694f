#pragma once
// The simulator's pseudo-terminal: a terminal device that a program opens as its serial port,
// reached through a symbolic link of the user's choice. Where the system has no
// pseudo-terminals (Windows), open fails and says so.

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <span>
#include <string>

class QSocketNotifier;

namespace velor::modsim {

class PtyLink : public QObject {
public:
    using Receiver = std::function<void(std::span<const std::uint8_t>)>;
    using Notice = std::function<void(const std::string&)>;

    explicit PtyLink(QObject* parent = nullptr);
    ~PtyLink() override;

    // Opens a pseudo-terminal and points linkPath at its device; an old symbolic link there is
    // replaced, any other file is left alone and refused. Bytes the program sends go to
    // receive; notice hears of a terminal that closed.
    bool open(const QString& linkPath, Receiver receive, Notice notice, QString& error);
    QString device() const { return device_; }
    // The baud rate the program set on the terminal; 0 when it cannot be read.
    long baud() const;
    // Sends bytes to the program; false (and why) when the terminal did not take them.
    bool write(std::span<const std::uint8_t> bytes, std::string& error);
    // Closes the terminal and removes the link if it still leads there.
    void close();

private:
    bool openDevice(QString& error);
    bool placeLink(const QString& linkPath, QString& error);
    void readable();

    int master_ = -1;
    int heldSlave_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QString device_;
    QString link_;
    Receiver receive_;
    Notice notice_;
};

}  // namespace velor::modsim
