#pragma once
// The "comcfg" command of velor-cli: writes a COM.CFG with one channel set to a TCP host or a
// serial port and the defaults otherwise, or prints a COM.CFG.

#include <ostream>
#include <string>
#include <vector>

namespace velor::cli {

// Runs "comcfg" with the arguments behind the command name; returns the exit code.
int runComCfg(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

void printUsage(std::ostream& out);

}  // namespace velor::cli
