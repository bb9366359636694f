#pragma once
// The commands of velor-cli. Each takes the arguments behind its name and returns the exit
// code; results go to out, messages to err.

#include <ostream>
#include <string>
#include <vector>

namespace velor::cli {

using Arguments = std::vector<std::string>;

int RunScan(const Arguments& args, std::ostream& out, std::ostream& err);
int RunRead(const Arguments& args, std::ostream& out, std::ostream& err);
int RunWrite(const Arguments& args, std::ostream& out, std::ostream& err);
int RunSend(const Arguments& args, std::ostream& out, std::ostream& err);
int RunShow(const Arguments& args, std::ostream& out, std::ostream& err);
int RunCreate(const Arguments& args, std::ostream& out, std::ostream& err);
int RunDiff(const Arguments& args, std::ostream& out, std::ostream& err);
int RunFind(const Arguments& args, std::ostream& out, std::ostream& err);
int RunPorts(const Arguments& args, std::ostream& out, std::ostream& err);

// "help" and "--help": the overview, or one command's help with an example.
int RunHelp(const Arguments& args, std::ostream& out, std::ostream& err);
// The help of one command; false for an unknown one.
bool PrintCommandHelp(const std::string& command, std::ostream& out);
void PrintOverview(std::ostream& out);

// A usage problem: the message on err, a pointer to the help, exit code 2.
int UsageError(const std::string& command, const std::string& problem, std::ostream& err);

}  // namespace velor::cli
