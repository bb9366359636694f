#pragma once
// Command-line arguments of velor-cli: positional values, options with a value and flags, each
// command naming the options it knows; and the one number parser of the tool.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velor::cli {

// Exit codes: the bus (or a comparison) said no, bad usage or a file or port that cannot be
// opened, and a run ended by Ctrl+C (the shell's convention for SIGINT).
inline constexpr int kExitOk = 0;
inline constexpr int kExitNo = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

// The bus addresses a module can have.
inline constexpr long kMaxModuleAddress = 31;

struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;

    bool has(const std::string& option) const {
        return values.count(option) != 0 || flags.count(option) != 0;
    }
    std::optional<std::string> value(const std::string& option) const;
};

struct OptionSet {
    std::set<std::string> valued;
    std::set<std::string> flags;
};

// The options every bus command takes.
OptionSet linkOptionSet();
OptionSet operator+(OptionSet a, const OptionSet& b);

// False with a problem for an unknown option or one whose value is missing.
bool parseArgs(const std::vector<std::string>& args, const OptionSet& known, ParsedArgs& parsed,
               std::string& problem);

// A whole number, decimal or hexadecimal after "0x", within low..high.
std::optional<long> parseNumber(const std::string& text, long low, long high);

// Reads an option's number into to; a missing option leaves to as it is. False with a problem
// naming the option and its range.
bool takeNumber(const ParsedArgs& args, const std::string& option, long low, long high, long& to,
                std::string& problem);

}  // namespace velor::cli
