#pragma once
// The commands of velor-cli. Each takes the arguments behind its name and returns the exit
// code; results go to out, messages to err.

#include <ostream>
#include <string>
#include <vector>

namespace velor::cli {

using Arguments = std::vector<std::string>;

int runScan(const Arguments& args, std::ostream& out, std::ostream& err);
int runRead(const Arguments& args, std::ostream& out, std::ostream& err);
int runWrite(const Arguments& args, std::ostream& out, std::ostream& err);
int runSend(const Arguments& args, std::ostream& out, std::ostream& err);
int runShow(const Arguments& args, std::ostream& out, std::ostream& err);
int runCreate(const Arguments& args, std::ostream& out, std::ostream& err);
int runDiff(const Arguments& args, std::ostream& out, std::ostream& err);
int runFind(const Arguments& args, std::ostream& out, std::ostream& err);
int runPorts(const Arguments& args, std::ostream& out, std::ostream& err);
int runReport(const Arguments& args, std::ostream& out, std::ostream& err);

// "help" and "--help": the overview, or one command's help with an example.
int runHelp(const Arguments& args, std::ostream& out, std::ostream& err);
// The help of one command; false for an unknown one.
bool printCommandHelp(const std::string& command, std::ostream& out);
void printOverview(std::ostream& out);

// A usage problem: the message on err, a pointer to the help, exit code 2.
int usageError(const std::string& command, const std::string& problem, std::ostream& err);

}  // namespace velor::cli
