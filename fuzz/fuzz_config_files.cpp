// Arbitrary bytes as a ".cfa" file, a ".cfb" file or a sensor file: the decoders, the sensor
// import, the name check, the image builders and the number text must take anything without
// reading out of bounds or looping.

#include <cstddef>
#include <cstdint>
#include <span>

#include "config/ConfigFiles.h"
#include "config/FormatExponent.h"
#include "config/ImageBuilder.h"
#include "config/SensorTable.h"

using namespace velor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t selector = data[0];
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);

    ConfigState state;
    InitAnalogConfig(state);
    InitBinaryConfig(state);
    switch (selector % 3) {
        case 0:
            ImportSensorTableFrom(state.SensorTable, state.SensorLastIndex, bytes,
                                  (selector & 0x80) ? ',' : '.');
            for (const SensorEntry& e : state.SensorTable) {
                (void)FormatExponent(7, e.A);
                (void)FormatExponent(selector & 0x0F, e.C);
            }
            break;
        case 1:
            DecodeAnalogFile(state, bytes);
            ImportSensorTableFrom(state.SensorTable, state.SensorLastIndex, std::nullopt);
            break;
        default:
            DecodeBinaryFile(state, bytes);
            BuildBinaryImage(state, static_cast<std::uint16_t>(selector));
            (void)EncodeBinaryFile(state);
            return 0;
    }
    CheckSensorNames(state);
    BuildAnalogImage(state, static_cast<std::uint16_t>(selector >> 4));
    (void)EncodeAnalogFile(state);
    return 0;
}
