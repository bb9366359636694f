#pragma once
// The fields of the three files a technician keeps (".cfa", ".cfb", COM.CFG) by their names,
// for tools that show, compare and write them: every field of the byte image as a named value
// in file order, texts as UTF-8, and the way back with each value checked against its range.
// Bytes that no field owns are written as zero, as the program writes them.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "comm/PortRecord.h"
#include "config/ConfigState.h"

namespace velor {

enum class ConfigFileKind { Analog, Binary, ComConfig };

// By the name: "*.cfa", "*.cfb", "COM.CFG" or "*.cfg" (any case); nullopt for anything else.
std::optional<ConfigFileKind> configFileKindOf(const std::string& path);
// "cfa", "cfb", "comcfg": the kind as the JSON form names it, and back.
std::string configFileKindName(ConfigFileKind kind);
std::optional<ConfigFileKind> configFileKindNamed(const std::string& name);
// The size of a file of the kind; a shorter one is a wrong file.
std::size_t configFileSize(ConfigFileKind kind);

struct ConfigFileData {
    ConfigFileKind kind = ConfigFileKind::Analog;
    ConfigState config;  // AnalogConfig + AnalogImage or BinaryConfig + BinaryImage
    std::array<PortRecord, 2> ports{};
};

// One field: its name ("AnalogConfig.Inputs[0].Name"), its value and the range it may take.
struct ConfigField {
    enum class Type { Integer, Real, Text };
    std::string name;
    Type type = Type::Integer;
    std::int64_t integer = 0;
    float real = 0.0f;
    std::string text;  // UTF-8
    // The range: integers and reals between low and high, texts of at most maxChars.
    double low = 0.0;
    double high = 0.0;
    std::size_t maxChars = 0;
};

// Reads the file as kind. False with a problem naming the file: cannot be read, or "wrong file"
// when it is shorter than its kind's size. Never writes.
bool readConfigFile(const QString& path, ConfigFileKind kind, ConfigFileData& data,
                    std::string& problem);
std::vector<std::uint8_t> encodeConfigFile(const ConfigFileData& data);
// The file the program writes when it has none: the defaults of the kind.
ConfigFileData defaultConfigFile(ConfigFileKind kind);

// Every field in file order.
std::vector<ConfigField> configFieldsOf(const ConfigFileData& data);
// A value as show and diff print it (reals in their shortest exact form).
std::string fieldValueText(const ConfigField& field);

// The JSON form: {"file": "cfa", "<field name>": value, ...} in file order, one field a line.
std::string configFileToJson(const ConfigFileData& data);
// Far more than any configuration's JSON form takes, whatever its texts and layout (the largest,
// every text at its longest in six-byte escapes, takes about 24 kB): a longer input is no
// configuration and is refused before it is parsed.
inline constexpr std::size_t kMaxConfigJsonBytes = 1024 * 1024;

// Takes the JSON form back. Every field must be there and within its range; false with a
// problem naming the first field that is missing, of the wrong type or out of range.
bool configFileFromJson(const QByteArray& json, ConfigFileData& data, std::string& problem);

}  // namespace velor
