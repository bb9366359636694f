#include "comm/ComConfig.h"

#include <algorithm>
#include <array>

#include "comm/FileStore.h"

namespace velor {

namespace {

using Image = std::array<std::uint8_t, kComConfigSize>;

Image encodeTable(const ChannelState& state) {
    Image image{};
    for (int ch = 1; ch <= kChannelCount; ++ch) {
        const auto offset = static_cast<std::size_t>(ch - 1) * kPortRecordSize;
        encodePortRecord(*state.ChannelTable.record(ch),
                         std::span<std::uint8_t>(image).subspan(offset, kPortRecordSize));
    }
    return image;
}

}  // namespace

void LoadComConfig(ChannelState& state) {
    const auto bytes = readRegularFile(state.ComConfigPath, kComConfigSize);
    if (!bytes || bytes->size() != kComConfigSize) {
        DefaultComConfig(state);
        return;
    }
    Image image{};
    std::copy(bytes->begin(), bytes->end(), image.begin());
    for (int ch = 1; ch <= kChannelCount; ++ch) {
        const auto offset = static_cast<std::size_t>(ch - 1) * kPortRecordSize;
        *state.ChannelTable.record(ch) =
            decodePortRecord(std::span<const std::uint8_t>(image).subspan(offset, kPortRecordSize));
    }
}

void SaveComConfig(const ChannelState& state) {
    const Image image = encodeTable(state);
    if (const auto error = saveFileDurably(state.ComConfigPath, image))
        throw FileWriteError(state.ComConfigPath, *error);
}

void DefaultComConfig(ChannelState& state) {
    for (int ch = 1; ch <= kChannelCount; ++ch)
        setDefaultPortRecord(*state.ChannelTable.record(ch));
    SaveComConfig(state);
}

}  // namespace velor
