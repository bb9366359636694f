#include "config/ConfigFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>

#include "comm/ComConfig.h"
#include "ui/Cp1250.h"
#include "ui/MessageService.h"

namespace velor {

namespace {

constexpr std::array<std::uint8_t, 4> kSaveTag{'s', 'a', 'v', 'e'};

// Everything the shared load and save steps need to know about one kind of file.
struct FileKind {
    const std::string& directory;
    const std::string& fileName;
    std::size_t size;
    void (*init)(ConfigState&);
    bool (*decode)(ConfigState&, std::span<const std::uint8_t>);
    std::vector<std::uint8_t> (*encode)(const ConfigState&);
    void (*storePort)(ConfigState&, std::uint8_t portNumber, std::uint16_t baudIndex);
};

FileKind analogKind(const ConfigState& s) {
    return {s.AnalogDirectory,
            s.AnalogFileName,
            kAnalogFileSize,
            InitAnalogConfig,
            DecodeAnalogFile,
            EncodeAnalogFile,
            [](ConfigState& st, std::uint8_t port, std::uint16_t baud) {
                st.AnalogConfig.SavedPortNumber = port;
                st.AnalogConfig.SavedBaudIndex = baud;
            }};
}

FileKind binaryKind(const ConfigState& s) {
    return {s.BinaryDirectory,
            s.BinaryFileName,
            kBinaryFileSize,
            InitBinaryConfig,
            DecodeBinaryFile,
            EncodeBinaryFile,
            [](ConfigState& st, std::uint8_t port, std::uint16_t baud) {
                st.BinaryConfig.SavedPortNumber = port;
                st.BinaryConfig.SavedBaudIndex = baud;
            }};
}

// Channel 1's record; the table always has one, a default record stands in otherwise.
const PortRecord& channel1(const ChannelState& channels) {
    static const PortRecord none{};
    const PortRecord* record = channels.ChannelTable.record(1);
    return record ? *record : none;
}

void showWriteError(const std::string& what, const QString& detail) {
    ShowMessageWindow("Chyba při zápisu souboru: " + what, detail.toStdString(), 2, 1);
}

// Reads at most maxBytes from the file; nullopt when it cannot be opened or read.
std::optional<QByteArray> readFile(const QString& path, qint64 maxBytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray data = maxBytes < 0 ? file.readAll() : file.read(maxBytes);
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return data;
}

std::span<const std::uint8_t> asBytes(const QByteArray& data) {
    return {reinterpret_cast<const std::uint8_t*>(data.constData()),
            static_cast<std::size_t>(data.size())};
}

void loadComConfigShowingErrors(ChannelState& channels) {
    try {
        LoadComConfig(channels);
    } catch (const std::exception& e) {
        showWriteError(channels.ComConfigPath, QString::fromStdString(e.what()));
    }
}

}  // namespace

// A full disk can cut a write short without the write reporting it: the size is checked before
// the rename.
std::optional<QString> WriteFileReplacing(const QString& path,
                                          const std::vector<std::uint8_t>& bytes) {
    QTemporaryFile temp(path + QStringLiteral(".XXXXXX"));
    if (!temp.open()) return temp.errorString();
    const auto size = static_cast<qint64>(bytes.size());
    const bool written = temp.write(reinterpret_cast<const char*>(bytes.data()), size) == size &&
                         temp.flush() && temp.error() == QFileDevice::NoError;
    temp.close();
    if (!written) return temp.errorString();
    if (QFileInfo(temp.fileName()).size() != size)
        return QStringLiteral("Soubor nebyl zapsán celý");
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(temp.fileName().toStdU16String()),
                            std::filesystem::path(path.toStdU16String()), ec);
    if (ec) return QString::fromStdString(ec.message());
    temp.setAutoRemove(false);  // it is the target now
    return std::nullopt;
}
namespace {

bool saveFile(ConfigState& state, const ChannelState& channels, const FileKind& kind) {
    const PortRecord& port = channel1(channels);
    kind.storePort(state, port.PortNumber, port.BaudIndex);

    const QString path = ConfigFilePath(state, kind.directory, kind.fileName);
    if (const auto error = WriteFileReplacing(path, kind.encode(state))) {
        showWriteError(cp1250ToUtf8(kind.directory + kind.fileName), *error);
        return false;
    }
    try {
        SaveComConfig(channels);
    } catch (const std::exception& e) {
        showWriteError(channels.ComConfigPath, QString::fromStdString(e.what()));
        return false;
    }
    return true;
}

void loadFile(ConfigState& state, ChannelState& channels, const FileKind& kind,
              bool (*save)(ConfigState&, const ChannelState&)) {
    loadComConfigShowingErrors(channels);
    const QString path = ConfigFilePath(state, kind.directory, kind.fileName);
    const auto maxBytes = static_cast<qint64>(kind.size);
    std::optional<QByteArray> data = readFile(path, maxBytes);
    bool keepDefaults = false;
    if (!data) {
        ShowMessageWindow(
            "Chyba při čtení souboru: " + cp1250ToUtf8(kind.directory + kind.fileName),
            "Soubor bude inicializován", 2, 1);
        kind.init(state);
        // When even the new file cannot be written, the defaults in memory are what we have.
        keepDefaults = !save(state, channels);
        if (!keepDefaults) data = readFile(path, maxBytes);
    }
    if (!keepDefaults && !(data && kind.decode(state, asBytes(*data)))) {
        ShowMessageWindow("Nesprávný konfigurační soubor", "", 2, 1);
        kind.init(state);
        save(state, channels);
    }
    const PortRecord& port = channel1(channels);
    state.RestorePortNumber = state.TargetPortNumber = port.PortNumber;
    state.RestoreBaudIndex = state.TargetBaudIndex = port.BaudIndex;
}

}  // namespace

std::string DefaultInputName(int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%3d", number);
    return utf8ToCp1250("IN č.") + digits;
}

void InitAnalogConfig(ConfigState& state) {
    const std::string sensorName = BuiltInSensorTable()[0].Name;
    AnalogConfig& config = state.AnalogConfig;
    for (std::size_t i = 0; i < config.Inputs.size(); ++i) {
        config.Inputs[i] = AnalogInput{DefaultInputName(static_cast<int>(i)),
                                       1,
                                       1024,
                                       0.0f,
                                       100.0f,
                                       0.0f,
                                       0.0f,
                                       0,
                                       sensorName};
    }
    config.ModuleAddress = 0;
    config.SavedPortNumber = 0;
    config.SavedBaudIndex = 4;
    config.Variant = 0;

    AnalogImage& image = state.AnalogImage;
    image.ResponseDelay = 20;
    image.BaudCode = 19;
    image.CommTimeout = 5000;
    image.Tag = kSaveTag;
    image.LowLimit.fill(0.0f);
    image.HighLimit.fill(100.0f);
    image.Filter.fill(1024);
    image.D.fill(0.0f);
    image.C.fill(0.25f);
    image.B.fill(0.0f);
    image.A.fill(0.0f);
}

void InitBinaryConfig(ConfigState& state) {
    BinaryConfig& config = state.BinaryConfig;
    for (std::size_t i = 0; i < config.Inputs.size(); ++i)
        config.Inputs[i] = BinaryInput{DefaultInputName(static_cast<int>(i)), 1, 1};
    config.ModuleAddress = 0;
    config.SavedPortNumber = 0;
    config.SavedBaudIndex = 4;

    BinaryImage& image = state.BinaryImage;
    image.ResponseDelay = 20;
    image.BaudCode = 19;
    image.CommTimeout = 5000;
    image.Tag = kSaveTag;
    image.FilterH.fill(10);
    image.FilterL.fill(10);
}

std::vector<std::uint8_t> EncodeAnalogFile(const ConfigState& state) {
    std::vector<std::uint8_t> bytes(kAnalogFileSize);
    std::span<std::uint8_t, kAnalogFileSize> all(bytes.data(), bytes.size());
    state.AnalogConfig.encode(all.first<AnalogConfig::kSize>());
    state.AnalogImage.encode(all.last<AnalogImage::kSize>());
    return bytes;
}

std::vector<std::uint8_t> EncodeBinaryFile(const ConfigState& state) {
    std::vector<std::uint8_t> bytes(kBinaryFileSize);
    std::span<std::uint8_t, kBinaryFileSize> all(bytes.data(), bytes.size());
    state.BinaryConfig.encode(all.first<BinaryConfig::kSize>());
    state.BinaryImage.encode(all.last<BinaryImage::kSize>());
    return bytes;
}

bool DecodeAnalogFile(ConfigState& state, std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kAnalogFileSize) return false;
    const auto all = bytes.first<kAnalogFileSize>();
    state.AnalogConfig.decode(all.first<AnalogConfig::kSize>());
    state.AnalogImage.decode(all.last<AnalogImage::kSize>());
    return true;
}

bool DecodeBinaryFile(ConfigState& state, std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kBinaryFileSize) return false;
    const auto all = bytes.first<kBinaryFileSize>();
    state.BinaryConfig.decode(all.first<BinaryConfig::kSize>());
    state.BinaryImage.decode(all.last<BinaryImage::kSize>());
    return true;
}

QString ConfigFilePath(const ConfigState& state, const std::string& directory,
                       const std::string& name) {
    QString path = cp1250ToQString(directory);
    if (!path.isEmpty() && !path.endsWith(u'\\') && !path.endsWith(u'/')) path += u'/';
    path += cp1250ToQString(name);
    path.replace(u'\\', u'/');
    if (QDir::isRelativePath(path) && !state.WorkDirectory.empty())
        path = QDir(QString::fromStdString(state.WorkDirectory)).filePath(path);
    return path;
}

QString AnalogFilePath(const ConfigState& state) {
    return ConfigFilePath(state, state.AnalogDirectory, state.AnalogFileName);
}

QString BinaryFilePath(const ConfigState& state) {
    return ConfigFilePath(state, state.BinaryDirectory, state.BinaryFileName);
}

bool SaveAnalogConfig(ConfigState& state, const ChannelState& channels) {
    return saveFile(state, channels, analogKind(state));
}

bool SaveBinaryConfig(ConfigState& state, const ChannelState& channels) {
    return saveFile(state, channels, binaryKind(state));
}

void LoadAnalogConfig(ConfigState& state, ChannelState& channels) {
    loadFile(state, channels, analogKind(state), SaveAnalogConfig);
    ImportSensorTable(state);
    CheckSensorNames(state);
}

void LoadBinaryConfig(ConfigState& state, ChannelState& channels) {
    loadFile(state, channels, binaryKind(state), SaveBinaryConfig);
}

void ImportSensorTable(ConfigState& state) {
    const QString path = ConfigFilePath(state, std::string(), kSensorFileName);
    const std::optional<QByteArray> data = readFile(path, -1);
    std::optional<std::span<const std::uint8_t>> bytes;
    if (data) bytes = asBytes(*data);
    ImportSensorTableFrom(state.SensorTable, state.SensorLastIndex, bytes, state.DecimalChar);
}

bool CheckSensorNames(ConfigState& state) {
    constexpr std::int32_t kLastEntry = static_cast<std::int32_t>(kSensorTableSize) - 1;
    constexpr std::size_t kKeptChars = 14;
    state.SensorLastIndex = std::clamp(state.SensorLastIndex, 0, kLastEntry);
    bool changed = false;
    for (AnalogInput& input : state.AnalogConfig.Inputs) {
        const bool inTable = input.SensorIndex >= 0 && input.SensorIndex <= kLastEntry;
        if (inTable &&
            input.SensorName == state.SensorTable[static_cast<std::size_t>(input.SensorIndex)].Name)
            continue;
        changed = true;
        if (state.SensorLastIndex == kLastEntry) {
            input.SensorIndex = 0;  // no free entry is left
            continue;
        }
        SensorEntry& entry = state.SensorTable[static_cast<std::size_t>(++state.SensorLastIndex)];
        entry.Name = "Min-" + input.SensorName.substr(0, kKeptChars);
        entry.Linearized = false;
        input.SensorIndex = state.SensorLastIndex;
    }
    if (changed)
        ShowMessageWindow("Došlo ke změně konfiguračních modulů!!!!", "Upravte konfiguraci!!!!", 2,
                          1);
    return changed;
}

}  // namespace velor
