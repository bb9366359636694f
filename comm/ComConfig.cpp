#include "comm/ComConfig.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

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

[[noreturn]] void fail(const std::string& what, const std::string& path, int error) {
    std::string text = what + " " + path;
    if (error != 0) text += ": " + std::string(std::strerror(error));
    throw std::runtime_error(text);
}

// Writes the bytes and forces them to the disk before the rename makes them visible.
void writeDurably(const std::string& path, const Image& image) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) fail("Cannot create", path, errno);
    bool ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
    ok = ok && std::fflush(f) == 0;
#ifdef _WIN32
    ok = ok && _commit(_fileno(f)) == 0;
#else
    ok = ok && ::fsync(::fileno(f)) == 0;
#endif
    const int error = errno;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        std::remove(path.c_str());
        fail("Cannot write", path, error);
    }
}

}  // namespace

void LoadComConfig(ChannelState& state) {
    Image image{};
    std::ifstream in(state.ComConfigPath, std::ios::binary);
    if (in) in.read(reinterpret_cast<char*>(image.data()), image.size());
    if (!in || in.gcount() != static_cast<std::streamsize>(image.size())) {
        DefaultComConfig(state);
        return;
    }
    for (int ch = 1; ch <= kChannelCount; ++ch) {
        const auto offset = static_cast<std::size_t>(ch - 1) * kPortRecordSize;
        *state.ChannelTable.record(ch) =
            decodePortRecord(std::span<const std::uint8_t>(image).subspan(offset, kPortRecordSize));
    }
}

void SaveComConfig(const ChannelState& state) {
    const std::string& path = state.ComConfigPath;
    const std::string temporary = path + ".tmp";
    writeDurably(temporary, encodeTable(state));
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);  // replaces the old file in one step
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw std::runtime_error("Cannot replace " + path + ": " + ec.message());
    }
}

void DefaultComConfig(ChannelState& state) {
    for (int ch = 1; ch <= kChannelCount; ++ch)
        SetDefaultPortRecord(*state.ChannelTable.record(ch));
    SaveComConfig(state);
}

}  // namespace velor
