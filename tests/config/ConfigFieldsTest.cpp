// The named fields of the configuration files and their JSON form: byte-for-byte round trips,
// and JSON refused with the field that is wrong.

#include "config/ConfigFields.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "config/ConfigFiles.h"
#include "support/FileBytes.h"

namespace velor {
namespace {

using test::fileBytes;

// Every field set to a value other than its default, within its range.
ConfigFileData changedEverywhere(ConfigFileKind kind) {
    ConfigFileData d = defaultConfigFile(kind);
    std::string json = configFileToJson(d);
    QJsonObject object;
    int n = 0;
    for (const ConfigField& f : configFieldsOf(d)) {
        ++n;
        if (f.type == ConfigField::Type::Text) {
            object[QString::fromStdString(f.name)] =
                QString::fromUtf8("Čidlo ž%1").arg(n).left(static_cast<int>(f.maxChars));
        } else if (f.type == ConfigField::Type::Real) {
            const double v = f.low > -1e30 ? f.low + (n % 90) * 0.1f : -1.5e-7 * n;
            object[QString::fromStdString(f.name)] = static_cast<double>(static_cast<float>(v));
        } else {
            const auto span = static_cast<std::int64_t>(std::min(f.high - f.low, 1e6));
            const std::int64_t v =
                static_cast<std::int64_t>(f.low) + (f.integer + 1 + n) % (span + 1);
            object[QString::fromStdString(f.name)] =
                static_cast<double>(v == f.integer ? f.low : v);
        }
    }
    object["file"] = QString::fromStdString(configFileKindName(kind));
    ConfigFileData changed;
    std::string problem;
    EXPECT_TRUE(configFileFromJson(QJsonDocument(object).toJson(), changed, problem)) << problem;
    return changed;
}

TEST(ConfigFieldsTest, JsonRoundTripsDefaultAndChangedFilesByteForByte) {
    for (ConfigFileKind kind :
         {ConfigFileKind::Analog, ConfigFileKind::Binary, ConfigFileKind::ComConfig}) {
        for (const ConfigFileData& original : {defaultConfigFile(kind), changedEverywhere(kind)}) {
            const auto bytes = encodeConfigFile(original);
            EXPECT_EQ(bytes.size(), configFileSize(kind));
            ConfigFileData back;
            std::string problem;
            ASSERT_TRUE(configFileFromJson(QByteArray::fromStdString(configFileToJson(original)),
                                           back, problem))
                << problem;
            EXPECT_EQ(encodeConfigFile(back), bytes) << configFileKindName(kind);
        }
        // The changed file differs from the default one in every field.
        const auto defaults = configFieldsOf(defaultConfigFile(kind));
        const auto changed = configFieldsOf(changedEverywhere(kind));
        ASSERT_EQ(defaults.size(), changed.size());
        for (std::size_t i = 0; i < defaults.size(); ++i)
            EXPECT_NE(fieldValueText(defaults[i]), fieldValueText(changed[i])) << defaults[i].name;
    }
}

TEST(ConfigFieldsTest, RefusesJsonNamingTheFieldThatIsWrong) {
    const std::string good = configFileToJson(defaultConfigFile(ConfigFileKind::Analog));
    auto refused = [&](const std::string& from, const std::string& to) {
        std::string json = good;
        const auto at = json.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        json.replace(at, from.size(), to);
        ConfigFileData d;
        std::string problem;
        EXPECT_FALSE(configFileFromJson(QByteArray::fromStdString(json), d, problem));
        return problem;
    };
    EXPECT_EQ(
        refused("\"AnalogConfig.Inputs[2].Decimals\": 1", "\"AnalogConfig.Inputs[2].Decimals\": 9"),
        "AnalogConfig.Inputs[2].Decimals: 9 is out of range 0..8");
    EXPECT_EQ(refused("\"AnalogConfig.ModuleAddress\": 0", "\"AnalogConfig.ModuleAddress\": 32"),
              "AnalogConfig.ModuleAddress: 32 is out of range 0..31");
    EXPECT_EQ(
        refused("\"AnalogConfig.Inputs[0].Offset\": 0", "\"AnalogConfig.Inputs[0].Offset\": -101"),
        "AnalogConfig.Inputs[0].Offset: -101 is out of range -100..10000");
    EXPECT_EQ(refused("\"AnalogConfig.Variant\": 0,", ""), "AnalogConfig.Variant: missing");
    EXPECT_EQ(refused("\"IN č.  0\"", "\"IN € 0 → x\""),
              "AnalogConfig.Inputs[0].Name: has a character code page 1250 cannot hold");
    EXPECT_EQ(refused("\"IN č.  0\"", "\"" + std::string(31, 'x') + "\""),
              "AnalogConfig.Inputs[0].Name: longer than 30 characters");
    EXPECT_EQ(refused("\"AnalogImage.BaudCode\": 19", "\"AnalogImage.BaudCode\": 1.5"),
              "AnalogImage.BaudCode: not a whole number");
    EXPECT_EQ(refused("\"file\": \"cfa\"", "\"file\": \"txt\""),
              "file: must be \"cfa\", \"cfb\" or \"comcfg\"");
}

// Numbers far beyond a field's type are refused by their value before any conversion (1e30 fits
// no integer, 1e300 no single), and never turn into another value such as infinity.
TEST(ConfigFieldsTest, NumbersBeyondEveryTypeAreRefusedByTheirValue) {
    const std::string good = configFileToJson(defaultConfigFile(ConfigFileKind::Analog));
    auto problemWith = [&](const std::string& field, const std::string& value) {
        std::string json = good;
        const std::string key = "\"" + field + "\": ";
        const auto at = json.find(key);
        EXPECT_NE(at, std::string::npos) << field;
        const auto end = json.find_first_of(",\n", at + key.size());
        json.replace(at + key.size(), end - at - key.size(), value);
        ConfigFileData d;
        std::string problem;
        EXPECT_FALSE(configFileFromJson(QByteArray::fromStdString(json), d, problem)) << value;
        return problem;
    };
    EXPECT_EQ(problemWith("AnalogConfig.ModuleAddress", "1e30"),
              "AnalogConfig.ModuleAddress: 1e+30 is out of range 0..31");
    EXPECT_EQ(problemWith("AnalogConfig.ModuleAddress", "-1e30"),
              "AnalogConfig.ModuleAddress: -1e+30 is out of range 0..31");
    EXPECT_EQ(problemWith("AnalogImage.A[0]", "1e300"),
              "AnalogImage.A[0]: 1e+300 is out of range of finite numbers");
    EXPECT_EQ(problemWith("AnalogImage.A[0]", "-3.5e38"),
              "AnalogImage.A[0]: -3.5e+38 is out of range of finite numbers");
    EXPECT_EQ(problemWith("AnalogConfig.Inputs[0].Offset", "1e300"),
              "AnalogConfig.Inputs[0].Offset: 1e+300 is out of range -100..10000");
    EXPECT_FALSE(problemWith("AnalogConfig.ModuleAddress", "1e400").empty());
}

// The limit on the JSON form lies far above the largest configuration it can describe: every
// text at its longest, each character in a six-byte escape.
TEST(ConfigFieldsTest, JsonLongerThanAnyConfigurationIsRefused) {
    std::size_t largest = 0;
    for (const ConfigFileKind kind :
         {ConfigFileKind::Analog, ConfigFileKind::Binary, ConfigFileKind::ComConfig}) {
        ConfigFileData d = defaultConfigFile(kind);
        QJsonObject object =
            QJsonDocument::fromJson(QByteArray::fromStdString(configFileToJson(d))).object();
        for (const ConfigField& f : configFieldsOf(d)) {
            if (f.type == ConfigField::Type::Text)
                object[QString::fromStdString(f.name)] =
                    QString(static_cast<qsizetype>(f.maxChars), QChar(1));
        }
        const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Indented);
        std::string problem;
        ASSERT_TRUE(configFileFromJson(json, d, problem)) << problem;
        largest = std::max(largest, static_cast<std::size_t>(json.size()));
    }
    EXPECT_LT(4 * largest, kMaxConfigJsonBytes) << largest;

    QByteArray huge =
        QByteArray::fromStdString(configFileToJson(defaultConfigFile(ConfigFileKind::Analog)));
    huge.insert(1, QByteArray(static_cast<qsizetype>(kMaxConfigJsonBytes), ' '));
    ConfigFileData d;
    std::string problem;
    EXPECT_FALSE(configFileFromJson(huge, d, problem));
    EXPECT_EQ(problem, "larger than any configuration (1048576 bytes at most)");
}

TEST(ConfigFieldsTest, AShortFileIsAWrongFileAndKindsFollowTheName) {
    QTemporaryDir dir;
    const QString path = dir.filePath("short.cfb");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(2703, '\0'));
    f.close();
    ConfigFileData d;
    std::string problem;
    EXPECT_FALSE(readConfigFile(path, ConfigFileKind::Binary, d, problem));
    EXPECT_EQ(problem, path.toStdString() + ": wrong file (2703 bytes, a .cfb file has 2704)");
    EXPECT_EQ(fileBytes(path).size(), 2703);  // nothing written back

    EXPECT_EQ(configFileKindOf("dir.cfb/KonfigA.CFA"), ConfigFileKind::Analog);
    EXPECT_EQ(configFileKindOf("com.cfg"), ConfigFileKind::ComConfig);
    EXPECT_EQ(configFileKindOf("KonfigA.json"), std::nullopt);
}

}  // namespace
}  // namespace velor
