#pragma once
// What the simulator needs of the system beyond Qt: a way to hear that it is to stop (SIGTERM
// and SIGINT on POSIX systems; Ctrl+C, Ctrl+Break and a closed console on Windows), and files
// opened by names in any letters.

#include <QString>
#include <cstdio>

class QCoreApplication;

namespace velor::modsim {

void quitOnStopRequest(QCoreApplication& app);

// Opens a file for writing by a name that may hold any letters; nullptr when it cannot.
std::FILE* openForWriting(const QString& path);

}  // namespace velor::modsim
