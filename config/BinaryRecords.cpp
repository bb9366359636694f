#include "config/BinaryRecords.h"

#include <algorithm>

#include "comm/ByteCodec.h"
#include "config/ImageHead.h"

namespace velor {

using namespace codec;

namespace {

constexpr std::size_t kName = 0, kFilterL = 32, kFilterH = 36;
constexpr std::size_t kModuleAddress = 2560, kSavedPort = 2564, kSavedBaud = 2566;
constexpr std::size_t kImgFilterH = kImageHeadSize, kImgFilterL = 72;

}  // namespace

void BinaryInput::decode(std::span<const std::uint8_t, kSize> b) {
    Name = getShortText(b, kName, kNameChars);
    FilterL = getI32(b, kFilterL);
    FilterH = getI32(b, kFilterH);
}

void BinaryInput::encode(std::span<std::uint8_t, kSize> b) const {
    std::fill(b.begin(), b.end(), std::uint8_t{0});
    putShortText(b, kName, kNameChars, Name);
    putI32(b, kFilterL, FilterL);
    putI32(b, kFilterH, FilterH);
}

void BinaryConfig::decode(std::span<const std::uint8_t, kSize> b) {
    for (std::size_t i = 0; i < Inputs.size(); ++i)
        Inputs[i].decode(b.subspan(i * BinaryInput::kSize).first<BinaryInput::kSize>());
    ModuleAddress = getI32(b, kModuleAddress);
    SavedPortNumber = getU8(b, kSavedPort);
    SavedBaudIndex = getU16(b, kSavedBaud);
}

void BinaryConfig::encode(std::span<std::uint8_t, kSize> b) const {
    std::fill(b.begin(), b.end(), std::uint8_t{0});
    for (std::size_t i = 0; i < Inputs.size(); ++i)
        Inputs[i].encode(b.subspan(i * BinaryInput::kSize).first<BinaryInput::kSize>());
    putI32(b, kModuleAddress, ModuleAddress);
    putU8(b, kSavedPort, SavedPortNumber);
    putU16(b, kSavedBaud, SavedBaudIndex);
}

void BinaryImage::decode(std::span<const std::uint8_t, kSize> b) {
    ResponseDelay = getU8(b, kImageDelayAt);
    BaudCode = getU8(b, kImageBaudCodeAt);
    CommTimeout = getU16(b, kImageTimeoutAt);
    std::copy_n(b.begin() + kImageTagAt, Tag.size(), Tag.begin());
    std::copy_n(b.begin() + kImgFilterH, FilterH.size(), FilterH.begin());
    std::copy_n(b.begin() + kImgFilterL, FilterL.size(), FilterL.begin());
}

void BinaryImage::encode(std::span<std::uint8_t, kSize> b) const {
    putU8(b, kImageDelayAt, ResponseDelay);
    putU8(b, kImageBaudCodeAt, BaudCode);
    putU16(b, kImageTimeoutAt, CommTimeout);
    std::copy(Tag.begin(), Tag.end(), b.begin() + kImageTagAt);
    std::copy(FilterH.begin(), FilterH.end(), b.begin() + kImgFilterH);
    std::copy(FilterL.begin(), FilterL.end(), b.begin() + kImgFilterL);
}

std::array<std::uint8_t, BinaryImage::kSize> BinaryImage::toBytes() const {
    std::array<std::uint8_t, kSize> bytes{};
    encode(bytes);
    return bytes;
}

}  // namespace velor
