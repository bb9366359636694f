#include "tools/velor-cli/ComCfgCommand.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <set>
#include <stdexcept>

#include "comm/ComConfig.h"

namespace velor::cli {

namespace {

struct Options {
    std::string file;
    bool show = false;
    std::optional<std::string> host;
    std::optional<int> serial;
    int baudIndex = 3;
    bool noParity = false;
    bool ignoreLineErrors = false;
    int channel = 1;
};

std::optional<int> toInt(const std::string& text) {
    int value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

// Reads the value behind an option; false (with a message) when it is missing or bad.
bool takeInt(const std::vector<std::string>& args, std::size_t& i, int& to, std::ostream& err) {
    if (i + 1 >= args.size() || !toInt(args[i + 1])) {
        err << "velor-cli: " << args[i] << " needs a number\n";
        return false;
    }
    to = *toInt(args[++i]);
    return true;
}

bool takeOption(const std::vector<std::string>& args, std::size_t& i, Options& o,
                std::ostream& err) {
    const std::string& a = args[i];
    if (a == "--show") return o.show = true;
    if (a == "--no-parity") return o.noParity = true;
    if (a == "--ignore-line-errors") return o.ignoreLineErrors = true;
    if (a == "--baud-index") return takeInt(args, i, o.baudIndex, err);
    if (a == "--channel") return takeInt(args, i, o.channel, err);
    if (a == "--serial") {
        int n = 0;
        if (!takeInt(args, i, n, err)) return false;
        o.serial = n;
        return true;
    }
    if (a == "--tcp" && i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
        o.host = args[++i];
        return true;
    }
    err << "velor-cli: unknown or incomplete option " << a << "\n";
    return false;
}

std::optional<std::string> checkOptions(const Options& o) {
    if (o.file.empty()) return "no file given";
    if (!isValidChannel(o.channel)) return "--channel must be 1 or 2";
    if (o.show)
        return (o.host || o.serial) ? std::optional<std::string>("--show stands alone")
                                    : std::nullopt;
    if (o.host.has_value() == o.serial.has_value()) return "give either --tcp or --serial";
    if (o.host && (o.host->empty() || o.host->size() > kTcpHostMaxChars)) {
        return "the host must have 1 to 17 characters";
    }
    if (o.serial && (*o.serial < 1 || *o.serial > 9)) return "--serial must be 1..9";
    if (baudRateAt(static_cast<unsigned>(o.baudIndex)) == 0) return "--baud-index must be 0..4";
    return std::nullopt;
}

void printChannel(const PortRecord& r, int channel, std::ostream& out) {
    out << "channel " << channel << ": ";
    if (r.PortNumber == 0) {
        out << "TCP host \"" << getTcpHost(r) << "\"\n";
        return;
    }
    out << "serial COM" << int{r.PortNumber} << ", baud index " << r.BaudIndex;
    const std::uint32_t baud = baudRateAt(r.BaudIndex);
    if (baud != 0)
        out << " (" << baud << " Bd)";
    else
        out << " (invalid)";
    out << ", " << (r.NoParity != 0 ? "no parity" : "even parity")
        << (r.IgnoreLineErrors != 0 ? ", line errors ignored" : "") << "\n";
}

int show(const Options& o, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    if (std::filesystem::file_size(o.file, ec) < kComConfigSize || ec) {
        err << "velor-cli: " << o.file << " is missing or shorter than " << kComConfigSize
            << " bytes\n";
        return 2;
    }
    ChannelState state;
    state.ComConfigPath = o.file;
    LoadComConfig(state);
    for (int ch = 1; ch <= kChannelCount; ++ch)
        printChannel(*state.ChannelTable.record(ch), ch, out);
    return 0;
}

int write(const Options& o, std::ostream& out) {
    ChannelState state;
    state.ComConfigPath = o.file;
    for (int ch = 1; ch <= kChannelCount; ++ch)
        setDefaultPortRecord(*state.ChannelTable.record(ch));
    PortRecord& r = *state.ChannelTable.record(o.channel);
    if (o.host) {
        r.PortNumber = 0;
        setTcpHost(r, *o.host);
    } else {
        r.PortNumber = static_cast<std::uint8_t>(*o.serial);
    }
    r.BaudIndex = static_cast<std::uint16_t>(o.baudIndex);
    r.NoParity = o.noParity ? 1 : 0;
    r.IgnoreLineErrors = o.ignoreLineErrors ? 1 : 0;
    SaveComConfig(state);
    printChannel(r, o.channel, out);
    return 0;
}

}  // namespace

void printUsage(std::ostream& out) {
    out << "Usage:\n"
           "  velor-cli comcfg FILE --tcp HOST [--channel N]\n"
           "  velor-cli comcfg FILE --serial N [--baud-index I] [--no-parity]\n"
           "                        [--ignore-line-errors] [--channel N]\n"
           "  velor-cli comcfg FILE --show\n"
           "  velor-cli --help\n"
           "Writes FILE as a COM.CFG with the given channel (default 1) set and the\n"
           "defaults otherwise (TCP, baud index 3 = 38400 Bd, even parity), or prints it.\n"
           "Baud indexes: 0 = 4800, 1 = 9600, 2 = 19200, 3 = 38400, 4 = 57600.\n";
}

int runComCfg(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    std::set<std::string> given;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) != 0 && o.file.empty()) {
            o.file = args[i];
            continue;
        }
        if (!given.insert(args[i]).second) {
            err << "velor-cli: " << args[i] << " is given twice\n";
            return 2;
        }
        if (!takeOption(args, i, o, err)) return 2;
    }
    if (const auto problem = checkOptions(o)) {
        err << "velor-cli: " << *problem << "\n";
        return 2;
    }
    try {
        return o.show ? show(o, out, err) : write(o, out);
    } catch (const std::exception& e) {
        // A file that cannot be written, as every command reports it.
        err << "velor-cli: " << e.what() << "\n";
        return 2;
    }
}

}  // namespace velor::cli
