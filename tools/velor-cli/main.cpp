// velor-cli: small helpers around the program's files.

#include <iostream>
#include <string>
#include <vector>

#include "tools/velor-cli/ComCfgCommand.h"
#include "tools/velor-cli/DemoCommand.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        velor::cli::PrintUsage(std::cout);
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "comcfg") {
        return velor::cli::RunComCfg({args.begin() + 1, args.end()}, std::cout, std::cerr);
    }
    if (args[0] == "demo") {
        return velor::cli::RunDemo({args.begin() + 1, args.end()}, std::cout, std::cerr);
    }
    std::cerr << "velor-cli: unknown command " << args[0] << "\n";
    velor::cli::PrintUsage(std::cerr);
    return 2;
}
