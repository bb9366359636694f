// velor-cli: the modules' bus and the program's files from the command line, with the
// program's engine, builders, decoder and file codecs and no window.

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/velor-cli/Args.h"
#include "tools/velor-cli/ComCfgCommand.h"
#include "tools/velor-cli/Commands.h"
#include "tools/velor-cli/Console.h"
#include "tools/velor-cli/DemoCommand.h"
#include "tools/velor-cli/Interrupt.h"
#include "tools/velor-cli/Output.h"

namespace {

using Command = int (*)(const velor::cli::Arguments&, std::ostream&, std::ostream&);

const std::map<std::string, Command>& commands() {
    using namespace velor::cli;
    static const std::map<std::string, Command> table = {
        {"scan", runScan},     {"read", runRead},     {"write", runWrite}, {"send", runSend},
        {"show", runShow},     {"create", runCreate}, {"diff", runDiff},   {"ports", runPorts},
        {"find", runFind},     {"comcfg", runComCfg}, {"demo", runDemo},   {"help", runHelp},
        {"report", runReport},
    };
    return table;
}

bool asksForHelp(const velor::cli::Arguments& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& a) { return a == "--help" || a == "-h"; });
}

int run(const std::vector<std::string>& args, std::ostream& out) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        velor::cli::printOverview(args.empty() ? std::cerr : out);
        return args.empty() ? velor::cli::kExitUsage : velor::cli::kExitOk;
    }
    const velor::cli::Arguments rest(args.begin() + 1, args.end());
    const auto it = commands().find(args[0]);
    if (it == commands().end()) {
        std::cerr << "velor-cli: unknown command " << args[0] << "\n";
        velor::cli::printOverview(std::cerr);
        return velor::cli::kExitUsage;
    }
    if (args[0] != "help" && asksForHelp(rest))
        return velor::cli::runHelp({args[0]}, out, std::cerr);
    return it->second(rest, out, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    velor::cli::ConsoleSession console;
    // The report draws its PDF, which needs fonts and so a GUI application.
    const bool draws = argc > 1 && std::string(argv[1]) == "report";
    if (draws) velor::cli::chooseDrawingPlatform();
    const std::unique_ptr<QCoreApplication> app =
        draws ? std::make_unique<QGuiApplication>(argc, argv)
              : std::make_unique<QCoreApplication>(argc, argv);
    velor::cli::installInterruptHandler();
    velor::cli::StdoutBuffer buffer;
    std::ostream out(&buffer);
    // Qt's arguments, in UTF-8: on Windows argv is in the ANSI code page, which cannot hold
    // every file name.
    const QStringList given = QCoreApplication::arguments();
    std::vector<std::string> args;
    for (qsizetype i = 1; i < given.size(); ++i) args.push_back(given[i].toStdString());
    const int code = run(args, out);
    out.flush();
    return velor::cli::finalExitCode(code, buffer, std::cerr);
}
