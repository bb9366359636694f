#include "config/ImageBuilder.h"

#include <cmath>
#include <limits>

namespace velor {

namespace {

constexpr std::array<std::uint8_t, 4> kSaveTag{'s', 'a', 'v', 'e'};

// An index that points outside the table (a damaged file) takes entry 0, "Nedefinován".
const SensorEntry& entryFor(const ConfigState& state, std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= state.SensorTable.size())
        return state.SensorTable[0];
    return state.SensorTable[static_cast<std::size_t>(index)];
}

// A constant beyond the range of a single becomes an infinity, as the narrowing does in IEEE
// arithmetic, without relying on the compiler for out-of-range conversions.
float toSingle(double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (v > kMax) return std::numeric_limits<float>::infinity();
    if (v < -kMax) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

}  // namespace

std::uint8_t baudCodeFor(std::uint16_t baudIndex) {
    return baudIndex < BaudCodes.size() ? BaudCodes[baudIndex] : kDefaultBaudCode;
}

float imageLowLimit(const AnalogInput& input, float rangeHigh) {
    // The module computes in singles, so the correction does too.
    const float low = input.LowLimit;
    const float high = input.HighLimit;
    const float span =
        (low >= 0.0f && high >= 0.0f) ? high - low : std::fabs(low) + std::fabs(high);
    float g = rangeHigh - input.ZeroSuppression;
    if (g != 0.0f) g = (rangeHigh / g - 1.0f) * span;
    return low - g;
}

void BuildAnalogImage(ConfigState& state, std::uint16_t baudIndex) {
    AnalogImage& image = state.AnalogImage;
    const bool variant12 = state.AnalogConfig.Variant == 1;
    for (std::size_t i = 0; i < kAnalogInputCount; ++i) {
        const AnalogInput& input = state.AnalogConfig.Inputs[i];
        const SensorEntry& e = entryFor(state, input.SensorIndex);
        image.LowLimit[i] = imageLowLimit(input, e.RangeHigh);
        image.HighLimit[i] = input.HighLimit;
        image.Filter[i] = static_cast<std::uint16_t>(input.FilterConstant);
        image.D[i] = toSingle(e.D);
        image.C[i] = (!e.Linearized && variant12) ? 1.0f : toSingle(e.C);
        image.B[i] = toSingle(e.B);
        image.A[i] = toSingle(e.A);
    }
    image.BaudCode = baudCodeFor(baudIndex);
    image.Tag = kSaveTag;
}

void BuildBinaryImage(ConfigState& state, std::uint16_t baudIndex) {
    BinaryImage& image = state.BinaryImage;
    for (std::size_t n = 0; n < kBinaryInputCount; ++n) {
        image.FilterH[n] = static_cast<std::uint8_t>(state.BinaryConfig.Inputs[n].FilterH);
        image.FilterL[n] = static_cast<std::uint8_t>(state.BinaryConfig.Inputs[n].FilterL);
    }
    image.BaudCode = baudCodeFor(baudIndex);
    image.Tag = kSaveTag;
}

}  // namespace velor
