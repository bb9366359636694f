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
    // The import keeps the numbers of an entry it does not read whole, and the name check
    // changes inputs and table: every file starts from the same ones.
    state.SensorTable = defaults().SensorTable;
    state.SensorLastIndex = defaults().SensorLastIndex;
    state.AnalogConfig = defaults().AnalogConfig;
    const char decimalChar = (size & 1) ? ',' : '.';
    importSensorTableFrom(state.SensorTable, state.SensorLastIndex,
                          std::span<const std::uint8_t>(data, size), decimalChar);
    // The constants as the editor shows them, for the entries that were read.
    const auto used = static_cast<std::size_t>(state.SensorLastIndex) + 1;
    for (const SensorEntry& e : std::span(state.SensorTable).first(used)) {
        (void)FormatExponent(7, e.A);
        (void)FormatExponent(static_cast<int>(size % 16), e.C);
    }
    checkSensorNames(state);
    BuildAnalogImage(state, 3);
    return 0;
}
