#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "comm/ComConfig.h"

namespace velor {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class ComConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("velor_comcfg_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        state.ComConfigPath = (dir_ / "COM.CFG").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    Bytes readFile() const {
        std::ifstream in(state.ComConfigPath, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    void writeFile(const Bytes& bytes) const {
        std::ofstream out(state.ComConfigPath, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    static Bytes pattern(std::size_t size) {
        Bytes b(size);
        for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 3);
        return b;
    }

    fs::path dir_;
    ChannelState state;
};

// The file a fresh start writes: per record 00 04 03 00 00 00, zero padding, FF FF FF FF, and
// three empty texts (everything behind the length bytes zero, as the table starts zeroed).
TEST_F(ComConfigTest, MissingFileIsReplacedByDefaultsByteForByte) {
    LoadComConfig(state);
    const Bytes file = readFile();
    ASSERT_EQ(file.size(), 264u);
    Bytes record(132, 0);
    const Bytes head{0x00, 0x04, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    std::copy(head.begin(), head.end(), record.begin());
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 132), record);
    EXPECT_EQ(Bytes(file.begin() + 132, file.end()), record);
    for (int ch : {1, 2}) {
        const PortRecord& r = *state.ChannelTable.record(ch);
        EXPECT_EQ(r.PortNumber, 0);
        EXPECT_EQ(r.BaudIndex, 3);
        EXPECT_EQ(r.Handle, -1);
        EXPECT_EQ(getTcpHost(r), "");
    }
    EXPECT_FALSE(fs::exists(state.ComConfigPath + ".tmp"));
}

TEST_F(ComConfigTest, ShortFileIsReplacedAndLongFileReadForItsFirst264Bytes) {
    writeFile(pattern(263));
    LoadComConfig(state);
    EXPECT_EQ(readFile().size(), 264u);
    EXPECT_EQ(state.ChannelTable.record(1)->Unnamed, 4);

    const Bytes longFile = pattern(300);
    writeFile(longFile);
    LoadComConfig(state);
    EXPECT_EQ(readFile(), longFile);  // read only, not rewritten
    const PortRecord& r2 = *state.ChannelTable.record(2);
    EXPECT_EQ(r2.PortNumber, longFile[132]);
    EXPECT_EQ(r2.BaudIndex, longFile[134] | (longFile[135] << 8));
    SaveComConfig(state);
    EXPECT_EQ(readFile(), Bytes(longFile.begin(), longFile.begin() + 264));
}

// Padding, unused texts and the bytes behind the host's length survive a load and save.
TEST_F(ComConfigTest, LoadAndSaveKeepEveryByte) {
    const Bytes original = pattern(264);
    writeFile(original);
    LoadComConfig(state);
    SaveComConfig(state);
    EXPECT_EQ(readFile(), original);
}

TEST_F(ComConfigTest, DefaultsLeaveTheHostAlone) {
    setTcpHost(*state.ChannelTable.record(1), "127.0.0.1");
    state.ChannelTable.record(1)->PortNumber = 3;
    DefaultComConfig(state);
    EXPECT_EQ(getTcpHost(*state.ChannelTable.record(1)), "127.0.0.1");
    EXPECT_EQ(state.ChannelTable.record(1)->PortNumber, 0);
    ChannelState reread;
    reread.ComConfigPath = state.ComConfigPath;
    LoadComConfig(reread);
    EXPECT_EQ(*reread.ChannelTable.record(1), *state.ChannelTable.record(1));
}

TEST_F(ComConfigTest, FailedSaveThrowsAndLeavesTheOldFile) {
    const Bytes original = pattern(264);
    writeFile(original);
    fs::permissions(state.ComConfigPath, fs::perms::owner_read);  // a read-only file is kept
    state.ChannelTable.record(1)->PortNumber = 7;
    EXPECT_THROW(SaveComConfig(state), std::runtime_error);
    EXPECT_EQ(readFile(), original);

    // A directory where the temporary file of an older version went does not stop a save.
    fs::permissions(state.ComConfigPath, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directory(state.ComConfigPath + ".tmp");
    SaveComConfig(state);
    EXPECT_EQ(readFile()[0], 7);

    state.ComConfigPath = (dir_ / "no_such_dir" / "COM.CFG").string();
    EXPECT_THROW(SaveComConfig(state), std::runtime_error);
}

TEST(PortRecordTest, HostTextIsCutAndClamped) {
    PortRecord r;
    setTcpHost(r, "a-very-long-host-name.example");
    EXPECT_EQ(getTcpHost(r), "a-very-long-host-");
    EXPECT_EQ(r.TcpHost[0], 17);
    r.TcpHost[0] = 200;  // damaged length byte never reads past the field
    EXPECT_EQ(getTcpHost(r).size(), 17u);
}

TEST(PortRecordTest, BaudRatesByIndex) {
    const std::uint32_t expected[] = {4800, 9600, 19200, 38400, 57600};
    for (unsigned i = 0; i < 5; ++i) EXPECT_EQ(baudRateAt(i), expected[i]) << i;
    EXPECT_EQ(baudRateAt(5), 0u);
    EXPECT_EQ(baudRateAt(0xFFFF), 0u);
}

TEST(PortRecordTest, WrongChannelNumbersAreRefused) {
    ChannelState state;
    for (int ch : {-1, 0, 3, 1000}) EXPECT_EQ(state.ChannelTable.record(ch), nullptr) << ch;
    EXPECT_NE(state.ChannelTable.record(1), state.ChannelTable.record(2));
}

}  // namespace
}  // namespace velor
