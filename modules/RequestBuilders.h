#pragma once
// The requests the main window sends, as plain functions from state to user-data bytes:
// the monitoring request of each module type, the presence probe of the address scan, and
// the configuration blocks of an editor's send. The transfer engine frames what these
// return; nothing here touches a channel or a widget.

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "comm/RequestKind.h"
#include "config/AnalogRecords.h"
#include "config/BinaryRecords.h"
#include "modules/ModuleLayout.h"

namespace velor {

inline constexpr std::size_t kAnalogImageSize = AnalogImage::kSize;
inline constexpr std::size_t kBinaryImageSize = BinaryImage::kSize;
inline constexpr std::size_t kZepaImageSize = 24;
// The MOKR block's descriptor announces this many bytes.
inline constexpr std::size_t kMokrBlockBytes = 0xE8;
// The analog image goes out in two blocks, this many bytes in the first; ZEPA takes the first
// bytes of its image only.
inline constexpr std::size_t kKaluFirstBlockBytes = 128;
inline constexpr std::size_t kZepaBlockBytes = 10;

// A module address that does not fit the one address byte of a request.
class AddressRangeError : public std::out_of_range {
public:
    AddressRangeError() : std::out_of_range("Range check error") {}
};

// Everything a monitoring request is made of.
struct MonitorSource {
    RequestKind kind = RequestKind::Probe;
    std::int32_t analogAddress = 0;  // ModuleAddress of AnalogConfig (KALU)
    std::int32_t binaryAddress = 0;  // ModuleAddress of BinaryConfig (all other modules)
    std::int32_t scanAddress = 0;
    std::array<std::int32_t, kKaluOutputs> kaluOutputs{};
    std::uint16_t tewOutputs = 0;
    std::uint16_t tevwOutputs = 0;
    std::array<std::uint8_t, kPiggyCount> piggyOutputs{};
    std::int32_t mokrInputPiggy = 0;
    bool mokrWritePhase = false;
};

struct RequestData {
    std::vector<std::uint8_t> bytes;  // user data, before framing
    std::string statusText;           // UTF-8; empty for the probe, which shows none
};

// The user data of the monitoring request of src.kind (0..5). Throws AddressRangeError for a
// module address outside 0..255 and std::out_of_range for an unknown kind.
RequestData monitorUserData(const MonitorSource& src);

enum class ConfigTarget { Kalu, BinaryInputs, BinaryOutputs, Mokr, Zepa };

// The editors set at most one target; with none the send is the analog module's.
ConfigTarget chooseConfigTarget(bool sendBinaryInputs, bool sendBinaryOutputs, bool sendMokr,
                                bool sendZepa);

// Image preparation ahead of a send: the "save" tag and the baud code of the target index.
// Both images start with the same head.
void prepareImage(std::span<std::uint8_t> image, std::uint16_t targetBaudIndex);
// The ZEPA block is made from the binary image, which stays unchanged.
void prepareZepaImage(std::span<std::uint8_t> zepaImage, std::span<const std::uint8_t> binaryImage,
                      std::uint16_t targetBaudIndex);

struct ConfigImages {
    std::span<std::uint8_t> analog;  // 320 bytes
    std::span<std::uint8_t> binary;  // 136 bytes
    std::span<std::uint8_t> zepa;    // 24 bytes
};

struct ConfigBlock {
    RequestData data;
    bool lastBlock = false;       // LastBlockSent after this block
    bool kaluSecondHalf = false;  // KaluSecondHalf after this block
};

// Prepares the image of target and returns the next configuration block. For the analog
// module kaluSecondHalf names the half to send; the result carries the flags that follow it.
ConfigBlock configUserData(ConfigTarget target, bool kaluSecondHalf, std::int32_t analogAddress,
                           std::int32_t binaryAddress, std::uint16_t targetBaudIndex,
                           const ConfigImages& images);

// The status-line rule of monitoring requests: an error text stays until an answer arrives.
bool statusLineShowsError(const std::string& statusLine);

}  // namespace velor
