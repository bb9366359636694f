// Loading and saving the ".cfa" and ".cfb" files: defaults, length rules, messages, the port
// settings taken from COM.CFG, the sensor name check and saves that fail.

#ifdef VELOR_TEST_POSIX_FACILITIES
#include <sys/resource.h>

#include <csignal>
#endif

#include "ConfigFixture.h"
#include "comm/ByteCodec.h"
#include "comm/ComConfig.h"
#include "config/ConfigFiles.h"
#include "ui/Cp1250.h"

namespace velor::test {
namespace {

using namespace velor::codec;

const std::string kReadError = "Chyba při čtení souboru: ";
const std::string kWrongFile = "Nesprávný konfigurační soubor";
const std::string kChanged = "Došlo ke změně konfiguračních modulů!!!!";

// The default ".cfa" file written from the data model, independently of the record codecs.
std::vector<std::uint8_t> expectedDefaultAnalogFile(std::uint16_t savedBaudIndex) {
    std::vector<std::uint8_t> f(1292, 0);
    const std::string sensor = utf8ToCp1250("Nedefinován       ");
    for (int i = 0; i < 12; ++i) {
        const std::size_t o = 80 * static_cast<std::size_t>(i);
        char name[16];
        std::snprintf(name, sizeof name, "IN \xE8.%3d", i);
        putShortText(f, o, 30, name);
        putI32(f, o + 32, 1);
        putI32(f, o + 36, 1024);
        putF32(f, o + 44, 100.0f);
        putShortText(f, o + 60, 18, sensor);
    }
    putU16(f, 966, savedBaudIndex);
    const std::size_t img = 972;
    f[img] = 20;
    f[img + 1] = 19;
    putU16(f, img + 2, 5000);
    std::copy_n("save", 4, f.begin() + img + 4);
    for (std::size_t i = 0; i < 12; ++i) {
        putF32(f, img + 56 + 4 * i, 100.0f);
        putU16(f, img + 104 + 2 * i, 1024);
        putF32(f, img + 176 + 4 * i, 0.25f);
    }
    return f;
}

std::vector<std::uint8_t> expectedDefaultBinaryFile(std::uint16_t savedBaudIndex) {
    std::vector<std::uint8_t> f(2704, 0);
    for (int i = 0; i < 64; ++i) {
        const std::size_t o = 40 * static_cast<std::size_t>(i);
        char name[16];
        std::snprintf(name, sizeof name, "IN \xE8.%3d", i);
        putShortText(f, o, 30, name);
        putI32(f, o + 32, 1);
        putI32(f, o + 36, 1);
    }
    putU16(f, 2566, savedBaudIndex);
    f[2568] = 20;
    f[2569] = 19;
    putU16(f, 2570, 5000);
    std::copy_n("save", 4, f.begin() + 2572);
    std::fill(f.begin() + 2576, f.end(), std::uint8_t{10});
    return f;
}

using ConfigFiles = ConfigFixture;

TEST_F(ConfigFiles, StartInEmptyDirectoryWritesDefaultFilesAfterTheMessages) {
    LoadAnalogConfig(state, channels);
    LoadBinaryConfig(state, channels);

    // COM.CFG defaults to 38400 Bd (index 3), which the saves store.
    EXPECT_EQ(readBytes("KonfigA.cfa"), expectedDefaultAnalogFile(3));
    EXPECT_EQ(readBytes("KonfigB.cfb"), expectedDefaultBinaryFile(3));
    EXPECT_EQ(readBytes("COM.CFG").size(), 264u);

    ASSERT_EQ(rec.calls.size(), 2u);  // no sensor file: built-in table, names all match
    EXPECT_EQ(rec.calls[0].text1, kReadError + "KonfigA.cfa");
    EXPECT_EQ(rec.calls[0].text2, "Soubor bude inicializován");
    EXPECT_EQ(rec.calls[0].iconSet, 1);
    EXPECT_EQ(rec.calls[1].text1, kReadError + "KonfigB.cfb");
    EXPECT_EQ(state.SensorLastIndex, 61);
    // The binary records hold 1 while the image holds 10.
    EXPECT_EQ(state.BinaryConfig.Inputs[63].FilterH, 1);
    EXPECT_EQ(state.BinaryImage.FilterL[63], 10);
}

TEST_F(ConfigFiles, FileLengthRules) {
    struct Case {
        std::size_t size;
        bool accepted;
    };
    for (const Case c : {Case{1291, false}, Case{1292, true}, Case{1300, true}}) {
        SCOPED_TRACE(c.size);
        rec.calls.clear();
        std::vector<std::uint8_t> file(c.size, 0);
        putI32(file, 960, 17);  // ModuleAddress
        file[1] = 'X';          // inside the first name; its length byte stays 0
        writeBytes("KonfigA.cfa", file);

        LoadAnalogConfig(state, channels);

        if (c.accepted) {
            EXPECT_EQ(state.AnalogConfig.ModuleAddress, 17);
            EXPECT_EQ(state.AnalogConfig.Inputs[0].Name, "");
            ASSERT_FALSE(rec.calls.empty());
            EXPECT_NE(rec.calls[0].text1, kWrongFile);
            EXPECT_EQ(readBytes("KonfigA.cfa").size(), c.size);  // a load alone does not rewrite
        } else {
            ASSERT_FALSE(rec.calls.empty());
            EXPECT_EQ(rec.calls[0].text1, kWrongFile);
            EXPECT_EQ(rec.calls[0].text2, "");
            EXPECT_EQ(state.AnalogConfig.ModuleAddress, 0);
            EXPECT_EQ(readBytes("KonfigA.cfa"), expectedDefaultAnalogFile(3));
        }
    }
    // The extra bytes of a longer file are lost at the next save.
    ASSERT_TRUE(SaveAnalogConfig(state, channels));
    EXPECT_EQ(readBytes("KonfigA.cfa").size(), 1292u);
}

TEST_F(ConfigFiles, ShortBinaryFileIsReplacedByDefaults) {
    writeBytes("KonfigB.cfb", std::vector<std::uint8_t>(2703, 0xFF));
    LoadBinaryConfig(state, channels);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].text1, kWrongFile);
    EXPECT_EQ(readBytes("KonfigB.cfb"), expectedDefaultBinaryFile(3));
}

TEST_F(ConfigFiles, LoadTakesChannelOneAsRestoreAndTargetAndSaveStoresIt) {
    DefaultComConfig(channels);
    channels.ChannelTable.record(1)->PortNumber = 2;
    channels.ChannelTable.record(1)->BaudIndex = 1;
    SaveComConfig(channels);
    channels.ChannelTable.record(1)->BaudIndex = 4;  // the loader reads COM.CFG again first

    LoadBinaryConfig(state, channels);
    EXPECT_EQ(state.RestorePortNumber, 2);
    EXPECT_EQ(state.TargetPortNumber, 2);
    EXPECT_EQ(state.RestoreBaudIndex, 1);
    EXPECT_EQ(state.TargetBaudIndex, 1);
    const auto file = readBytes("KonfigB.cfb");
    ASSERT_EQ(file.size(), 2704u);
    EXPECT_EQ(file[2564], 2);
    EXPECT_EQ(getU16(file, 2566), 1);
}

TEST_F(ConfigFiles, DirectoryWithBackslashesIsJoinedWithTheName) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("sub/dir"));
    state.AnalogDirectory = "sub\\dir\\";
    state.AnalogFileName = "Moje.cfa";
    InitAnalogConfig(state);
    ASSERT_TRUE(SaveAnalogConfig(state, channels));
    EXPECT_EQ(readBytes("sub/dir/Moje.cfa").size(), 1292u);
    EXPECT_TRUE(rec.calls.empty());
}

#ifdef VELOR_TEST_POSIX_FACILITIES
// Lets no file grow beyond a limit while it lives, so writes fail even for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(ConfigFiles, FailedSaveKeepsTheOldFileAndTellsTheUser) {
    InitAnalogConfig(state);
    state.AnalogConfig.ModuleAddress = 5;
    ASSERT_TRUE(SaveAnalogConfig(state, channels));
    const auto before = readBytes("KonfigA.cfa");
    const auto comBefore = readBytes("COM.CFG");

    state.AnalogConfig.ModuleAddress = 9;
    channels.ChannelTable.record(1)->BaudIndex = 0;
    {
        FileSizeLimit limit(1000);
        EXPECT_FALSE(SaveAnalogConfig(state, channels));
    }

    EXPECT_EQ(readBytes("KonfigA.cfa"), before);
    EXPECT_EQ(readBytes("COM.CFG"), comBefore);  // nothing after the failed step is written
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);  // no temporary file left
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].text1, "Chyba při zápisu souboru: KonfigA.cfa");
    EXPECT_EQ(rec.calls[0].text2, "Soubor je příliš velký");
    EXPECT_EQ(rec.calls[0].iconSet, 1);
}
#endif  // VELOR_TEST_POSIX_FACILITIES

TEST_F(ConfigFiles, UnwritableLocationStillLoadsDefaults) {
    state.AnalogDirectory = "chybi\\";  // a directory that does not exist
    LoadAnalogConfig(state, channels);
    ASSERT_EQ(rec.calls.size(), 2u);  // the read error, then the write error; no loop
    EXPECT_EQ(rec.calls[0].text1, kReadError + "chybi\\KonfigA.cfa");
    EXPECT_EQ(rec.calls[1].text1, "Chyba při zápisu souboru: chybi\\KonfigA.cfa");
    EXPECT_EQ(rec.calls[1].text2, "Složka neexistuje");
    EXPECT_EQ(state.AnalogImage.CommTimeout, 5000);
    EXPECT_EQ(state.AnalogConfig.Inputs[11].Name, defaultInputName(11));
}

TEST_F(ConfigFiles, MismatchedSensorNamesGetMinEntries) {
    InitAnalogConfig(state);
    state.AnalogConfig.Inputs[3].SensorIndex = 2;
    state.AnalogConfig.Inputs[3].SensorName = "Stary snimac XY 12";
    state.AnalogConfig.Inputs[5].SensorIndex = 500;  // damaged index
    state.AnalogConfig.Inputs[5].SensorName = "Jiny";
    ASSERT_TRUE(SaveAnalogConfig(state, channels));

    LoadAnalogConfig(state, channels);  // no sensor file: built-in table, last index 61

    EXPECT_EQ(state.SensorLastIndex, 63);
    EXPECT_EQ(state.AnalogConfig.Inputs[3].SensorIndex, 62);
    EXPECT_EQ(state.SensorTable[62].Name, "Min-Stary snimac X");
    EXPECT_FALSE(state.SensorTable[62].Linearized);
    EXPECT_EQ(state.AnalogConfig.Inputs[3].SensorName, "Stary snimac XY 12");
    EXPECT_EQ(state.AnalogConfig.Inputs[5].SensorIndex, 63);
    EXPECT_EQ(state.SensorTable[63].Name, "Min-Jiny");
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].text1, kChanged);
    EXPECT_EQ(rec.calls[0].text2, "Upravte konfiguraci!!!!");
}

// "Procházet" on the same file again: the "Min-" entries of the first load are made again in
// the same places, not appended behind them.
TEST_F(ConfigFiles, LoadingTheSameFileAgainKeepsTheSensorTable) {
    writeText("ParamIOI.cfw", utf8ToCp1250("[Konfigurační moduly]\r\nnadpis\r\n[Konec]\r\n"));
    InitAnalogConfig(state);
    ASSERT_TRUE(SaveAnalogConfig(state, channels));

    LoadAnalogConfig(state, channels);
    const std::int32_t lastIndex = state.SensorLastIndex;
    const SensorTableArray table = state.SensorTable;
    const AnalogConfig config = state.AnalogConfig;
    EXPECT_EQ(lastIndex, 12);
    for (int load = 0; load < 3; ++load) LoadAnalogConfig(state, channels);

    EXPECT_EQ(state.SensorLastIndex, lastIndex);
    for (std::size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(state.SensorTable[i].Name, table[i].Name) << i;
    for (std::size_t i = 0; i < 12; ++i)
        EXPECT_EQ(state.AnalogConfig.Inputs[i].SensorIndex, config.Inputs[i].SensorIndex) << i;
}

TEST_F(ConfigFiles, FullSensorTablePointsMismatchedInputsAtEntryZero) {
    InitAnalogConfig(state);
    for (std::size_t i = 0; i < state.SensorTable.size(); ++i)
        state.SensorTable[i].Name = std::string("E").append(std::to_string(i));
    state.SensorLastIndex = 99;
    state.AnalogConfig.Inputs[0].SensorIndex = 1;
    state.AnalogConfig.Inputs[0].SensorName = "E1";
    state.AnalogConfig.Inputs[1].SensorIndex = 7;
    state.AnalogConfig.Inputs[1].SensorName = "X";
    state.AnalogConfig.Inputs[2].SensorIndex = 8;
    state.AnalogConfig.Inputs[2].SensorName = "Y";
    state.AnalogConfig.Inputs[3].SensorIndex = 9;
    state.AnalogConfig.Inputs[3].SensorName = "Z";
    for (std::size_t i = 4; i < 12; ++i) {
        state.AnalogConfig.Inputs[i].SensorIndex = 2;
        state.AnalogConfig.Inputs[i].SensorName = "E2";
    }

    EXPECT_TRUE(checkSensorNames(state));

    EXPECT_EQ(state.SensorLastIndex, 100);
    EXPECT_EQ(state.AnalogConfig.Inputs[0].SensorIndex, 1);
    EXPECT_EQ(state.AnalogConfig.Inputs[1].SensorIndex, 100);
    EXPECT_EQ(state.SensorTable[100].Name, "Min-X");
    EXPECT_EQ(state.AnalogConfig.Inputs[2].SensorIndex, 0);
    EXPECT_EQ(state.AnalogConfig.Inputs[3].SensorIndex, 0);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].text1, kChanged);
}

}  // namespace
}  // namespace velor::test
