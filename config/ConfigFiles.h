#pragma once
// The configuration files: ".cfa" (AnalogConfig + AnalogImage, 1292 bytes) and ".cfb"
// (BinaryConfig + BinaryImage, 2704 bytes), their defaults, and the sensor table import.
// Loaders read COM.CFG first; savers write COM.CFG after the configuration.

#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "comm/ChannelState.h"
#include "comm/FileStore.h"
#include "config/ConfigState.h"

namespace velor {

void InitAnalogConfig(ConfigState& state);
void InitBinaryConfig(ConfigState& state);

// Reads the file (creating it with the defaults when it cannot be read, replacing it when it is
// too short), takes channel 1's port settings as restore and target settings, imports the sensor
// table and checks the inputs' sensor names against it.
void LoadAnalogConfig(ConfigState& state, ChannelState& channels);
void LoadBinaryConfig(ConfigState& state, ChannelState& channels);

// Stores channel 1's port settings in the configuration, writes the file (SaveFileDurably: the
// old file stays until the new one is complete) and then COM.CFG. A failure is shown to the
// user, leaves the old file as it was and returns false.
bool SaveAnalogConfig(ConfigState& state, const ChannelState& channels);
bool SaveBinaryConfig(ConfigState& state, const ChannelState& channels);

// The reason of a failed write as the user reads it, in Czech.
std::string writeFailureReason(const FileError& error);

// Imports "ParamIOI.cfw" from the working directory into SensorTable and SensorLastIndex.
void ImportSensorTable(ConfigState& state);

// Points every input whose sensor name differs from its table entry at a new "Min-" entry (or
// at entry 0 when the table is full) and tells the user. True when any input changed.
bool checkSensorNames(ConfigState& state);

// Byte images of the files. The decoders take a file of at least the full size and ignore what
// lies behind it; a shorter one is refused (false) and nothing is changed.
std::vector<std::uint8_t> encodeAnalogFile(const ConfigState& state);
std::vector<std::uint8_t> encodeBinaryFile(const ConfigState& state);
bool decodeAnalogFile(ConfigState& state, std::span<const std::uint8_t> bytes);
bool decodeBinaryFile(ConfigState& state, std::span<const std::uint8_t> bytes);

// The path of a file: directory (stored form, "\" or "/") followed by the name, against
// WorkDirectory when relative. Separators are normalised so the path works on every platform.
QString configFilePath(const ConfigState& state, const std::string& directory,
                       const std::string& name);
QString analogFilePath(const ConfigState& state);
QString binaryFilePath(const ConfigState& state);

// The default input name, "IN č." and the number right-aligned in 3 characters (code page 1250).
std::string defaultInputName(int number);

}  // namespace velor
