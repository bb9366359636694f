#include "tools/velor-cli/DemoCommand.h"

#include <QFileInfo>
#include <exception>

#include "comm/ComConfig.h"
#include "config/ConfigFiles.h"

namespace velor::cli {

namespace {

// Writes one file with its defaults and the address unless it exists; false when it could not
// be written.
bool prepare(ConfigState& config, const ChannelState& channels, bool analog, std::ostream& out) {
    const QString path = analog ? analogFilePath(config) : binaryFilePath(config);
    if (QFileInfo::exists(path)) {
        out << path.toStdString() << " exists, left as it is\n";
        return true;
    }
    if (analog) {
        InitAnalogConfig(config);
        config.AnalogConfig.ModuleAddress = kDemoAnalogAddress;
    } else {
        InitBinaryConfig(config);
        config.BinaryConfig.ModuleAddress = kDemoBinaryAddress;
    }
    if (!(analog ? SaveAnalogConfig(config, channels) : SaveBinaryConfig(config, channels)))
        return false;
    out << path.toStdString() << ": module address "
        << (analog ? kDemoAnalogAddress : kDemoBinaryAddress) << "\n";
    return true;
}

}  // namespace

int runDemo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1 || args[0].empty()) {
        err << "velor-cli: demo needs the demo folder\n";
        return 2;
    }
    ConfigState config;
    config.WorkDirectory = args[0];
    ChannelState channels;
    channels.ComConfigPath = args[0] + "/COM.CFG";
    try {
        LoadComConfig(channels);  // the saves store channel 1's settings, as the program's do
        for (const bool analog : {true, false}) {
            if (prepare(config, channels, analog, out)) continue;
            err << "velor-cli: cannot write the configuration files in " << args[0] << "\n";
            return 2;
        }
    } catch (const std::exception& e) {
        err << "velor-cli: " << e.what() << "\n";
        return 2;
    }
    return 0;
}

}  // namespace velor::cli
