#include "config/ConfigFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <limits>
#include <optional>

#include "comm/ComConfig.h"
#include "comm/FileStore.h"
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
            decodeAnalogFile,
            encodeAnalogFile,
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
            decodeBinaryFile,
            encodeBinaryFile,
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

// One message per failure: the same file failing for the same reason again, with no write
// succeeding in between, is not shown again (the loaders write COM.CFG at every step, and the
// start loads two files). A save the user asks for reports afresh.
void showWriteError(ConfigState& state, const std::string& file, const FileError& error) {
    const std::string reason = writeFailureReason(error);
    if (!state.ShownWriteFailures.insert(file + '\n' + reason).second) return;
    ShowMessageWindow("Chyba při zápisu souboru: " + file, reason, 2, 1);
}

// COM.CFG through the channel layer, which reports a write failure as an exception.
template <typename F>
bool writeComConfig(ConfigState& state, const ChannelState& channels, F&& write) {
    try {
        write();
        state.ShownWriteFailures.clear();  // a later failure is news again
        return true;
    } catch (const FileWriteError& e) {
        showWriteError(state, channels.ComConfigPath, e.error());
    } catch (const std::exception&) {
        ShowMessageWindow("Chyba při zápisu souboru: " + channels.ComConfigPath,
                          "Neočekávaná chyba programu", 2, 1);
    }
    return false;
}

// Reads at most maxBytes of a regular file; nullopt when it cannot be opened or read, and for
// anything that is not a regular file (a pipe or a device would hang the start).
std::optional<std::vector<std::uint8_t>> readFile(const QString& path, std::size_t maxBytes) {
    return readRegularFile(fileStorePath(path), maxBytes);
}

bool saveFile(ConfigState& state, const ChannelState& channels, const FileKind& kind) {
    const PortRecord& port = channel1(channels);
    kind.storePort(state, port.PortNumber, port.BaudIndex);

    const QString path = configFilePath(state, kind.directory, kind.fileName);
    if (const auto error = saveFileDurably(fileStorePath(path), kind.encode(state))) {
        showWriteError(state, cp1250ToUtf8(kind.directory + kind.fileName), *error);
        return false;
    }
    return writeComConfig(state, channels, [&] { SaveComConfig(channels); });
}

void loadFile(ConfigState& state, ChannelState& channels, const FileKind& kind) {
    writeComConfig(state, channels, [&] { LoadComConfig(channels); });
    const QString path = configFilePath(state, kind.directory, kind.fileName);
    std::optional<std::vector<std::uint8_t>> data = readFile(path, kind.size);
    bool keepDefaults = false;
    if (!data) {
        ShowMessageWindow(
            "Chyba při čtení souboru: " + cp1250ToUtf8(kind.directory + kind.fileName),
            "Soubor bude inicializován", 2, 1);
        kind.init(state);
        // When even the new file cannot be written, the defaults in memory are what we have.
        keepDefaults = !saveFile(state, channels, kind);
        if (!keepDefaults) data = readFile(path, kind.size);
    }
    if (!keepDefaults && !(data && kind.decode(state, *data))) {
        ShowMessageWindow("Nesprávný konfigurační soubor", "", 2, 1);
        kind.init(state);
        saveFile(state, channels, kind);
    }
    const PortRecord& port = channel1(channels);
    state.RestorePortNumber = state.TargetPortNumber = port.PortNumber;
    state.RestoreBaudIndex = state.TargetBaudIndex = port.BaudIndex;
}

}  // namespace

std::string writeFailureReason(const FileError& error) {
    using Cause = FileError::Cause;
    if (error.cause == Cause::ReadOnlyFile) return "Soubor je určen jen pro čtení";
    if (error.cause == Cause::NotRegularFile) return "Není to obyčejný soubor";
    switch (error.code) {
        case EACCES:
        case EPERM:
            return "Přístup odepřen";
        case EROFS:
            return "Disk je jen pro čtení";
        case ENOSPC:
            return "Na disku není místo";
#ifdef EDQUOT
        case EDQUOT:
            return "Překročena disková kvóta";
#endif
        case EFBIG:
            return "Soubor je příliš velký";
        case ENOENT:
            return "Složka neexistuje";
        case EEXIST:
            return "Soubor toho jména už existuje";
        case ENOTDIR:
            return "Část cesty není složka";
        case EISDIR:
            return "Na místě souboru je složka";
        case ENAMETOOLONG:
            return "Název souboru je příliš dlouhý";
        case ELOOP:
            return "Příliš mnoho symbolických odkazů";
        case EBUSY:
        case ETXTBSY:
            return "Soubor je používán";
        case EMFILE:
        case ENFILE:
            return "Příliš mnoho otevřených souborů";
        case EIO:
            return "Chyba čtení nebo zápisu na disku";
        default:
            return "Systémová chyba č. " + std::to_string(error.code);
    }
}

std::string defaultInputName(int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%3d", number);
    return utf8ToCp1250("IN č.") + digits;
}

void InitAnalogConfig(ConfigState& state) {
    const std::string sensorName = BuiltInSensorTable()[0].Name;
    AnalogConfig& config = state.AnalogConfig;
    for (std::size_t i = 0; i < config.Inputs.size(); ++i) {
        config.Inputs[i] = AnalogInput{defaultInputName(static_cast<int>(i)),
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
        config.Inputs[i] = BinaryInput{defaultInputName(static_cast<int>(i)), 1, 1};
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

std::vector<std::uint8_t> encodeAnalogFile(const ConfigState& state) {
    std::vector<std::uint8_t> bytes(kAnalogFileSize);
    std::span<std::uint8_t, kAnalogFileSize> all(bytes.data(), bytes.size());
    state.AnalogConfig.encode(all.first<AnalogConfig::kSize>());
    state.AnalogImage.encode(all.last<AnalogImage::kSize>());
    return bytes;
}

std::vector<std::uint8_t> encodeBinaryFile(const ConfigState& state) {
    std::vector<std::uint8_t> bytes(kBinaryFileSize);
    std::span<std::uint8_t, kBinaryFileSize> all(bytes.data(), bytes.size());
    state.BinaryConfig.encode(all.first<BinaryConfig::kSize>());
    state.BinaryImage.encode(all.last<BinaryImage::kSize>());
    return bytes;
}

bool decodeAnalogFile(ConfigState& state, std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kAnalogFileSize) return false;
    const auto all = bytes.first<kAnalogFileSize>();
    state.AnalogConfig.decode(all.first<AnalogConfig::kSize>());
    state.AnalogImage.decode(all.last<AnalogImage::kSize>());
    return true;
}

bool decodeBinaryFile(ConfigState& state, std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kBinaryFileSize) return false;
    const auto all = bytes.first<kBinaryFileSize>();
    state.BinaryConfig.decode(all.first<BinaryConfig::kSize>());
    state.BinaryImage.decode(all.last<BinaryImage::kSize>());
    return true;
}

QString configFilePath(const ConfigState& state, const std::string& directory,
                       const std::string& name) {
    QString path = cp1250ToQString(directory);
    if (!path.isEmpty() && !path.endsWith(u'\\') && !path.endsWith(u'/')) path += u'/';
    path += cp1250ToQString(name);
    path.replace(u'\\', u'/');
    if (QDir::isRelativePath(path) && !state.WorkDirectory.empty())
        path = QDir(QString::fromStdString(state.WorkDirectory)).filePath(path);
    return path;
}

QString analogFilePath(const ConfigState& state) {
    return configFilePath(state, state.AnalogDirectory, state.AnalogFileName);
}

QString binaryFilePath(const ConfigState& state) {
    return configFilePath(state, state.BinaryDirectory, state.BinaryFileName);
}

bool SaveAnalogConfig(ConfigState& state, const ChannelState& channels) {
    state.ShownWriteFailures.clear();
    return saveFile(state, channels, analogKind(state));
}

bool SaveBinaryConfig(ConfigState& state, const ChannelState& channels) {
    state.ShownWriteFailures.clear();
    return saveFile(state, channels, binaryKind(state));
}

void LoadAnalogConfig(ConfigState& state, ChannelState& channels) {
    loadFile(state, channels, analogKind(state));
    ImportSensorTable(state);
    checkSensorNames(state);
}

void LoadBinaryConfig(ConfigState& state, ChannelState& channels) {
    loadFile(state, channels, binaryKind(state));
}

void ImportSensorTable(ConfigState& state) {
    const QString path = configFilePath(state, std::string(), kSensorFileName);
    const auto data = readFile(path, std::numeric_limits<std::size_t>::max());
    std::optional<std::span<const std::uint8_t>> bytes;
    if (data) bytes = *data;
    importSensorTableFrom(state.SensorTable, state.SensorLastIndex, bytes, state.DecimalChar);
}

bool checkSensorNames(ConfigState& state) {
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
