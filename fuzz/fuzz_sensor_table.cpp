// Arbitrary bytes as the sensor file "ParamIOI.cfw": the import, the number texts of the
// constants it read, and the analog image built from its entries must take anything without
// reading out of bounds, looping or converting a number out of range.
//
// The input is the file as it stands. Its length decides the system's decimal separator (even:
// '.', odd: ','), so that both forms of the range columns are read without a byte of its own.

#include <cstddef>
#include <cstdint>
#include <span>

#include "config/ConfigFiles.h"
#include "config/FormatExponent.h"
#include "config/ImageBuilder.h"
#include "config/SensorTable.h"

using namespace velor;

namespace {

const ConfigState& defaults() {
    static const ConfigState state = [] {
        ConfigState s;
        InitAnalogConfig(s);
        return s;
    }();
    return state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ConfigState state = defaults();
    // A faulty line keeps the numbers of the entry it replaces: every file starts from the
    // same table and the same inputs.
    state.SensorTable = defaults().SensorTable;
    state.AnalogConfig = defaults().AnalogConfig;
    const char decimalChar = (size & 1) ? ',' : '.';
    ImportSensorTableFrom(state.SensorTable, state.SensorLastIndex,
                          std::span<const std::uint8_t>(data, size), decimalChar);
    for (const SensorEntry& e : state.SensorTable) {
        (void)FormatExponent(7, e.A);
        (void)FormatExponent(static_cast<int>(size % 16), e.C);
    }
    CheckSensorNames(state);
    BuildAnalogImage(state, 3);
    return 0;
}
