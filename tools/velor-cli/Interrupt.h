#pragma once
// Ctrl+C while a bus command runs: the command notices, closes the port and ends with 130.
// POSIX systems: SIGINT and SIGTERM. Windows: the console's Ctrl+C, Ctrl+Break and close.

namespace velor::cli {

// From now on a stop request only sets the flag that interruptRequested() reads.
void catchInterruptRequest();
bool interruptRequested();

}  // namespace velor::cli
