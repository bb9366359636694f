#include "tools/velor-cli/Args.h"

#include <charconv>

namespace velor::cli {

std::optional<std::string> ParsedArgs::value(const std::string& option) const {
    const auto it = values.find(option);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

OptionSet linkOptionSet() {
    return {{"--tcp", "--serial", "--baud", "--timeout", "--pcap"}, {"--no-parity", "--verbose"}};
}

OptionSet operator+(OptionSet a, const OptionSet& b) {
    a.valued.insert(b.valued.begin(), b.valued.end());
    a.flags.insert(b.flags.begin(), b.flags.end());
    return a;
}

namespace {

bool isOption(const std::string& a) {
    return a.size() >= 2 && a.rfind("--", 0) == 0;
}

}  // namespace

// An option's value never starts with "--": "--pcap --verbose" lacks the file name rather than
// writing a file named "--verbose". An option given twice is a mistake, not a choice of the last.
bool parseArgs(const std::vector<std::string>& args, const OptionSet& known, ParsedArgs& parsed,
               std::string& problem) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!isOption(a)) {
            parsed.positional.push_back(a);
            continue;
        }
        if (known.flags.count(a) == 0 && known.valued.count(a) == 0) {
            problem = "unknown option " + a;
            return false;
        }
        if (parsed.has(a)) {
            problem = a + " is given twice";
            return false;
        }
        if (known.flags.count(a) != 0) {
            parsed.flags.insert(a);
        } else if (i + 1 >= args.size() || isOption(args[i + 1])) {
            problem = a + " needs a value";
            return false;
        } else {
            parsed.values[a] = args[++i];
        }
    }
    return true;
}

std::optional<long> parseNumber(const std::string& text, long low, long high) {
    std::string_view t = text;
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        t.remove_prefix(2);
        base = 16;
    }
    long value = 0;
    const char* end = t.data() + t.size();
    const auto [ptr, ec] = std::from_chars(t.data(), end, value, base);
    if (t.empty() || ec != std::errc() || ptr != end || value < low || value > high)
        return std::nullopt;
    return value;
}

bool takeNumber(const ParsedArgs& args, const std::string& option, long low, long high, long& to,
                std::string& problem) {
    const auto text = args.value(option);
    if (!text) return true;
    const auto n = parseNumber(*text, low, high);
    if (!n) {
        problem = option + " wants a number " + std::to_string(low) + ".." + std::to_string(high) +
                  ", not \"" + *text + "\"";
        return false;
    }
    to = *n;
    return true;
}

}  // namespace velor::cli
