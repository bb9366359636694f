// Arbitrary bytes as a ".cfa" or a ".cfb" file: the decoders, the encoders, the name check
// against the sensor table and the image builders must take anything without reading out of
// bounds or looping, and a file that was read and saved must read and save to the same bytes.
//
// First byte: bit 0 chooses the file (0 ".cfa", 1 ".cfb"), the rest is the baud index the
// image is built for. The file follows; it is read as the program reads it, so only inputs of
// at least the full file size reach the decoders.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "config/ConfigFiles.h"
#include "config/ImageBuilder.h"
#include "config/SensorTable.h"

using namespace velor;

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

// The state a loaded file starts from, built once: the defaults of both configurations and the
// built-in sensor table.
const ConfigState& defaults() {
    static const ConfigState state = [] {
        ConfigState s;
        InitAnalogConfig(s);
        InitBinaryConfig(s);
        importSensorTableFrom(s.SensorTable, s.SensorLastIndex, std::nullopt);
        return s;
    }();
    return state;
}

// A file that was read is saved; reading the saved bytes and saving again changes nothing.
template <typename Decode, typename Encode>
void checkStable(ConfigState& state, Decode decode, Encode encode) {
    const std::vector<std::uint8_t> saved = encode(state);
    check(decode(state, saved));
    check(encode(state) == saved);
}

void analogFile(ConfigState& state, std::span<const std::uint8_t> bytes, std::uint16_t baud) {
    if (!decodeAnalogFile(state, bytes)) return;
    checkStable(state, decodeAnalogFile, encodeAnalogFile);
    // The name check adds entries to the table: each file starts from the same table.
    state.SensorTable = defaults().SensorTable;
    state.SensorLastIndex = defaults().SensorLastIndex;
    checkSensorNames(state);
    BuildAnalogImage(state, baud);
}

void binaryFile(ConfigState& state, std::span<const std::uint8_t> bytes, std::uint16_t baud) {
    if (!decodeBinaryFile(state, bytes)) return;
    checkStable(state, decodeBinaryFile, encodeBinaryFile);
    BuildBinaryImage(state, baud);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The decoders overwrite every field of their records, so one state serves all inputs; the
    // parts they do not own are reset where they are read.
    static ConfigState state = defaults();
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);
    const auto baud = static_cast<std::uint16_t>(data[0] >> 1);
    if (data[0] & 1)
        binaryFile(state, bytes, baud);
    else
        analogFile(state, bytes, baud);
    return 0;
}
