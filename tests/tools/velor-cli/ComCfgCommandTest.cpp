#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "comm/ComConfig.h"
#include "tools/velor-cli/ComCfgCommand.h"

namespace velor {
namespace {

namespace fs = std::filesystem;

class VelorCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        file = (fs::temp_directory_path() / ("velor_cli_" + std::to_string(getpid()) + ".cfg"))
                   .string();
        fs::remove(file);
    }
    void TearDown() override { fs::remove(file); }

    int run(std::vector<std::string> args) {
        out.str({});
        err.str({});
        return cli::runComCfg(args, out, err);
    }
    ChannelState load() {
        ChannelState s;
        s.ComConfigPath = file;
        LoadComConfig(s);
        return s;
    }

    std::string file;
    std::ostringstream out, err;
};

TEST_F(VelorCliTest, WritesTcpAndSerialChannelsWithDefaultsOtherwise) {
    ASSERT_EQ(run({file, "--tcp", "127.0.0.1"}), 0);
    EXPECT_EQ(fs::file_size(file), 264u);
    ChannelState s = load();
    EXPECT_EQ(getTcpHost(*s.ChannelTable.record(1)), "127.0.0.1");
    EXPECT_EQ(s.ChannelTable.record(1)->PortNumber, 0);
    EXPECT_EQ(s.ChannelTable.record(2)->Unnamed, 4);
    EXPECT_EQ(s.ChannelTable.record(2)->Handle, -1);

    ASSERT_EQ(run({file, "--serial", "3", "--baud-index", "4", "--no-parity"}), 0);
    s = load();
    const PortRecord& r = *s.ChannelTable.record(1);
    EXPECT_EQ(r.PortNumber, 3);
    EXPECT_EQ(r.BaudIndex, 4);
    EXPECT_EQ(r.NoParity, 1);

    ASSERT_EQ(run({file, "--show"}), 0);
    EXPECT_NE(out.str().find("channel 1: serial COM3, baud index 4 (57600 Bd), no parity"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("channel 2: TCP"), std::string::npos);
}

TEST_F(VelorCliTest, BadArgumentsWriteNothing) {
    const std::vector<std::vector<std::string>> bad = {
        {file},
        {file, "--tcp"},
        {file, "--tcp", "h", "--serial", "1"},
        {file, "--serial", "10"},
        {file, "--serial", "1", "--baud-index", "5"},
        {file, "--serial", "x"},
        {file, "--tcp", "a-host-name-longer-than-17"},
        {file, "--tcp", "h", "--channel", "3"},
        {"--tcp", "h"},
    };
    for (const auto& args : bad) {
        EXPECT_EQ(run(args), 2) << args.size();
        EXPECT_FALSE(err.str().empty());
        EXPECT_FALSE(fs::exists(file));
    }
    EXPECT_EQ(run({file, "--show"}), 2);  // missing file is reported, not created
    EXPECT_FALSE(fs::exists(file));
}

}  // namespace
}  // namespace velor
