#pragma once
// The bus: modules by address and the module application protocol. One request frame in, at
// most one reply out, plus a record of what was decoded for the logs.

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "tools/modsim/FrameCodec.h"
#include "tools/modsim/ModuleModel.h"

namespace velor::modsim {

inline constexpr std::uint8_t kCodeRead = 0x0B;
inline constexpr std::uint8_t kCodeWrite = 0x0C;
inline constexpr std::uint8_t kCodeReadWrite = 0x0D;

inline constexpr std::uint8_t kFcUnknownCode = 2;
inline constexpr std::uint8_t kFcUnavailable = 9;
inline constexpr std::uint8_t kFcMalformed = 12;

inline constexpr int kMaxAddress = 31;

struct Item {
    std::uint8_t area = 0;
    std::uint16_t start = 0;
    std::uint8_t count = 0;
};

struct StoredWrite {
    std::uint8_t area = 0;
    std::uint16_t start = 0;
    Bytes data;
};

struct Exchange {
    enum class Outcome { Silent, Ack, Data, Negative };
    Outcome outcome = Outcome::Silent;
    bool probe = false;
    bool present = false;
    std::uint8_t address = 0;
    std::optional<std::uint8_t> code;  // absent in a probe or a request too short to hold one
    std::vector<Item> reads;
    std::vector<Item> writeItems;
    std::vector<StoredWrite> writes;  // applied to the module
    std::uint8_t functionCode = 0;    // of a negative reply
    Bytes reply;                      // empty when the module stays silent
};

class Bus {
public:
    // Replaces a module already at that address; false for an address outside 0..31.
    bool addModule(int address, ModuleType type);
    const Module* module(int address) const;
    Module* module(int address);
    const std::map<int, Module>& modules() const { return modules_; }

    // Every variable request of the module at address (all modules when nullopt) gets the
    // short negative reply with this function code. Probes are still acknowledged.
    void forceNegative(std::uint8_t functionCode, std::optional<int> address);

    Exchange handle(const Frame& frame, std::int64_t nowMs);

private:
    void handleRequest(const Frame& frame, Module& module, Exchange& ex, std::int64_t nowMs);
    bool decodeItems(std::span<const std::uint8_t> body, Exchange& ex) const;
    std::uint8_t checkItems(const Module& module, const Exchange& ex) const;
    void negative(Exchange& ex, std::uint8_t functionCode) const;

    std::map<int, Module> modules_;
    std::optional<std::uint8_t> forcedFc_;
    std::optional<int> forcedAddress_;
};

// The demo bus: KALU 1, TEV 2, TEW 3, TEVW 4, MOKR 5.
void addDemoModules(Bus& bus);

}  // namespace velor::modsim
