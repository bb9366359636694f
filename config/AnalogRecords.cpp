#include "config/AnalogRecords.h"

#include <algorithm>

#include "comm/ByteCodec.h"
#include "config/ImageHead.h"

namespace velor {

using namespace codec;

namespace {

// Offsets inside AnalogInput.
constexpr std::size_t kName = 0, kDecimals = 32, kFilter = 36, kLow = 40, kHigh = 44, kOffset = 48,
                      kZero = 52, kSensorIndex = 56, kSensorName = 60;

// Offsets of the trailer of AnalogConfig.
constexpr std::size_t kModuleAddress = 960, kSavedPort = 964, kSavedBaud = 966, kVariant = 968;

// Offsets of the per-input arrays of AnalogImage.
constexpr std::size_t kImgLow = kImageHeadSize, kImgHigh = 56, kImgFilter = 104, kImgD = 128,
                      kImgC = 176, kImgB = 224, kImgA = 272;

}  // namespace

void AnalogInput::decode(std::span<const std::uint8_t, kSize> b) {
    Name = getShortText(b, kName, kNameChars);
    Decimals = getI32(b, kDecimals);
    FilterConstant = getI32(b, kFilter);
    LowLimit = getF32(b, kLow);
    HighLimit = getF32(b, kHigh);
    Offset = getF32(b, kOffset);
    ZeroSuppression = getF32(b, kZero);
    SensorIndex = getI32(b, kSensorIndex);
    SensorName = getShortText(b, kSensorName, kSensorNameChars);
}

void AnalogInput::encode(std::span<std::uint8_t, kSize> b) const {
    // Bytes that carry no field are written as zero.
    std::fill(b.begin(), b.end(), std::uint8_t{0});
    putShortText(b, kName, kNameChars, Name);
    putI32(b, kDecimals, Decimals);
    putI32(b, kFilter, FilterConstant);
    putF32(b, kLow, LowLimit);
    putF32(b, kHigh, HighLimit);
    putF32(b, kOffset, Offset);
    putF32(b, kZero, ZeroSuppression);
    putI32(b, kSensorIndex, SensorIndex);
    putShortText(b, kSensorName, kSensorNameChars, SensorName);
}

void AnalogConfig::decode(std::span<const std::uint8_t, kSize> b) {
    for (std::size_t i = 0; i < Inputs.size(); ++i)
        Inputs[i].decode(b.subspan(i * AnalogInput::kSize).first<AnalogInput::kSize>());
    ModuleAddress = getI32(b, kModuleAddress);
    SavedPortNumber = getU8(b, kSavedPort);
    SavedBaudIndex = getU16(b, kSavedBaud);
    Variant = getU8(b, kVariant);
}

void AnalogConfig::encode(std::span<std::uint8_t, kSize> b) const {
    std::fill(b.begin(), b.end(), std::uint8_t{0});
    for (std::size_t i = 0; i < Inputs.size(); ++i)
        Inputs[i].encode(b.subspan(i * AnalogInput::kSize).first<AnalogInput::kSize>());
    putI32(b, kModuleAddress, ModuleAddress);
    putU8(b, kSavedPort, SavedPortNumber);
    putU16(b, kSavedBaud, SavedBaudIndex);
    putU8(b, kVariant, Variant);
}

void AnalogImage::decode(std::span<const std::uint8_t, kSize> b) {
    ResponseDelay = getU8(b, kImageDelayAt);
    BaudCode = getU8(b, kImageBaudCodeAt);
    CommTimeout = getU16(b, kImageTimeoutAt);
    std::copy_n(b.begin() + kImageTagAt, Tag.size(), Tag.begin());
    for (std::size_t i = 0; i < kAnalogInputCount; ++i) {
        LowLimit[i] = getF32(b, kImgLow + 4 * i);
        HighLimit[i] = getF32(b, kImgHigh + 4 * i);
        Filter[i] = getU16(b, kImgFilter + 2 * i);
        D[i] = getF32(b, kImgD + 4 * i);
        C[i] = getF32(b, kImgC + 4 * i);
        B[i] = getF32(b, kImgB + 4 * i);
        A[i] = getF32(b, kImgA + 4 * i);
    }
}

void AnalogImage::encode(std::span<std::uint8_t, kSize> b) const {
    putU8(b, kImageDelayAt, ResponseDelay);
    putU8(b, kImageBaudCodeAt, BaudCode);
    putU16(b, kImageTimeoutAt, CommTimeout);
    std::copy(Tag.begin(), Tag.end(), b.begin() + kImageTagAt);
    for (std::size_t i = 0; i < kAnalogInputCount; ++i) {
        putF32(b, kImgLow + 4 * i, LowLimit[i]);
        putF32(b, kImgHigh + 4 * i, HighLimit[i]);
        putU16(b, kImgFilter + 2 * i, Filter[i]);
        putF32(b, kImgD + 4 * i, D[i]);
        putF32(b, kImgC + 4 * i, C[i]);
        putF32(b, kImgB + 4 * i, B[i]);
        putF32(b, kImgA + 4 * i, A[i]);
    }
}

std::array<std::uint8_t, AnalogImage::kSize> AnalogImage::toBytes() const {
    std::array<std::uint8_t, kSize> bytes{};
    encode(bytes);
    return bytes;
}

}  // namespace velor
