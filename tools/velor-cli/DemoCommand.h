#pragma once
// The "demo" command of velor-cli: prepares the configuration files of a demo folder for the
// simulator's bus, so that the first unit window a new user opens shows a module.

#include <ostream>
#include <string>
#include <vector>

namespace velor::cli {

// Module addresses of the demo bus (scripts/run.sh): KALU at 1, TEV at 2.
inline constexpr int kDemoAnalogAddress = 1;
inline constexpr int kDemoBinaryAddress = 2;

// "demo DIR": writes DIR/KonfigA.cfa (the defaults, KALU address 1) and DIR/KonfigB.cfb (the
// defaults, binary address 2) where they are missing, through the program's own save; files
// that exist are left as they are. Returns the exit code.
int runDemo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace velor::cli
