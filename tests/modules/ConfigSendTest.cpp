// The configuration send sequence that velor-cli shares with the polling loop: the same blocks
// in the same order, retries included.

#include "modules/ConfigSend.h"

#include <gtest/gtest.h>

#include "config/ConfigFiles.h"
#include "support/ProgramSend.h"

namespace velor {
namespace {

// The same send through the shared sequence, as velor-cli runs it.
std::vector<std::vector<std::uint8_t>> sharedSend(const ConfigState& from, ConfigTarget target,
                                                  std::uint16_t baudAfter,
                                                  const std::vector<bool>& accepted) {
    ConfigState c = from;
    c.TargetBaudIndex = baudAfter;
    std::array<std::uint8_t, kZepaImageSize> zepa{};
    std::vector<std::vector<std::uint8_t>> blocks;
    bool second = false;
    for (std::size_t i = 0; i <= accepted.size(); ++i) {
        const ConfigBlock b = nextConfigBlock(c, target, second, zepa);
        blocks.push_back(b.data.bytes);
        second = b.kaluSecondHalf;
        if (i == accepted.size() || (accepted[i] && b.lastBlock)) break;
        if (!accepted[i]) second = kaluHalfAfterFailedBlock(target, second);
    }
    return blocks;
}

TEST(ConfigSendTest, SharedSequenceSendsWhatTheLoopSendsIncludingRetries) {
    ConfigState c;
    InitAnalogConfig(c);
    InitBinaryConfig(c);
    c.AnalogConfig.ModuleAddress = 1;
    c.BinaryConfig.ModuleAddress = 2;
    c.AnalogImage.Tag = {'o', 'l', 'd', '!'};
    c.BinaryImage.ResponseDelay = 33;
    const std::vector<std::vector<bool>> runs = {
        {true, true}, {false, true, true}, {true, false, true, true}, {false, false, true}};
    for (ConfigTarget target :
         {ConfigTarget::Kalu, ConfigTarget::BinaryInputs, ConfigTarget::BinaryOutputs,
          ConfigTarget::Mokr, ConfigTarget::Zepa}) {
        for (const auto& run : runs) {
            for (std::uint16_t baud : {0, 4}) {
                const auto program = test::ProgramSend(c, target, baud, run);
                const auto shared = sharedSend(c, target, baud, run);
                // After the send the loop goes on with probes of the address scan.
                ASSERT_GE(program.size(), shared.size());
                EXPECT_EQ(shared, std::vector(program.begin(), program.begin() + shared.size()))
                    << static_cast<int>(target) << " baud " << baud;
            }
        }
    }
    // A failed second half of a KALU send is followed by the first half again.
    const auto blocks = sharedSend(c, ConfigTarget::Kalu, 3, {true, false});
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[2], blocks[0]);
    EXPECT_EQ(blocks[0].size(), 136u);
    EXPECT_EQ(blocks[1].size(), 200u);
    EXPECT_EQ(std::string(blocks[0].begin() + 12, blocks[0].begin() + 16), "save");
    EXPECT_EQ(blocks[0][9], 38);  // the baud code of index 3
}

}  // namespace
}  // namespace velor
