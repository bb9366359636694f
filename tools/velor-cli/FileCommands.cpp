// show, create and diff: the configuration files and COM.CFG by their fields.

#include <QFileInfo>

#include "comm/FileStore.h"
#include "config/ConfigFields.h"
#include "tools/velor-cli/Args.h"
#include "tools/velor-cli/Commands.h"

namespace velor::cli {

namespace {

// Reads a file of a kind its name tells; exit code 2 with a message otherwise.
int readFile(const std::string& command, const std::string& path, ConfigFileData& data,
             std::ostream& err) {
    const auto kind = configFileKindOf(path);
    if (!kind) return usageError(command, path + ": not a .cfa, .cfb or COM.CFG file", err);
    std::string problem;
    if (!readConfigFile(QString::fromStdString(path), *kind, data, problem)) {
        err << "velor-cli: " << problem << "\n";
        return kExitUsage;
    }
    return kExitOk;
}

// Read with a limit, and from a regular file only: /dev/zero or a pipe without a writer would
// never end.
int fromJson(const std::string& from, ConfigFileData& data, std::ostream& err) {
    const auto bytes = readRegularFile(from, kMaxConfigJsonBytes + 1);
    if (!bytes) {
        const QFileInfo info(QString::fromStdString(from));
        err << "velor-cli: " << from << ": "
            << (!info.exists()  ? "no such file"
                : info.isFile() ? "cannot be read"
                                : "not a regular file")
            << "\n";
        return kExitUsage;
    }
    std::string problem;
    const QByteArray json(reinterpret_cast<const char*>(bytes->data()),
                          static_cast<qsizetype>(bytes->size()));
    if (!configFileFromJson(json, data, problem)) {
        err << "velor-cli: " << from << ": " << problem << "\n";
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace

int runShow(const Arguments& raw, std::ostream& out, std::ostream& err) {
    ParsedArgs a;
    std::string problem;
    if (!parseArgs(raw, {{}, {"--json"}}, a, problem)) return usageError("show", problem, err);
    if (a.positional.size() != 1) return usageError("show", "name one file", err);
    ConfigFileData data;
    if (const int code = readFile("show", a.positional[0], data, err); code != kExitOk) return code;
    if (a.has("--json")) {
        out << configFileToJson(data);
        return kExitOk;
    }
    for (const ConfigField& f : configFieldsOf(data))
        out << f.name << " = " << fieldValueText(f) << "\n";
    return kExitOk;
}

int runCreate(const Arguments& raw, std::ostream& out, std::ostream& err) {
    ParsedArgs a;
    std::string problem;
    if (!parseArgs(raw, {{"--from"}, {"--defaults"}}, a, problem))
        return usageError("create", problem, err);
    const auto from = a.value("--from");
    if (a.positional.size() != 1 || from.has_value() == a.has("--defaults"))
        return usageError("create", "name the file to write and either --from JSON or --defaults",
                          err);
    const std::string& path = a.positional[0];
    const auto kind = configFileKindOf(path);
    ConfigFileData data;
    if (!from) {
        if (!kind) return usageError("create", path + ": not a .cfa, .cfb or COM.CFG file", err);
        data = defaultConfigFile(*kind);
    } else if (const int code = fromJson(*from, data, err); code != kExitOk) {
        return code;
    }
    if (kind && *kind != data.kind) {
        err << "velor-cli: " << path << ": the JSON describes a ." << configFileKindName(data.kind)
            << " file\n";
        return kExitUsage;
    }
    // Written whole or not at all, and only over a regular file: the old file stays until the
    // new one is complete, and a device, a pipe or a folder at the path is left alone.
    const std::vector<std::uint8_t> bytes = encodeConfigFile(data);
    if (const auto error = saveFileDurably(path, bytes)) {
        err << "velor-cli: " << path << ": " << describeFileError(*error) << "\n";
        return kExitUsage;
    }
    out << path << ": " << bytes.size() << " bytes written\n";
    return kExitOk;
}

int runDiff(const Arguments& raw, std::ostream& out, std::ostream& err) {
    ParsedArgs a;
    std::string problem;
    if (!parseArgs(raw, {}, a, problem)) return usageError("diff", problem, err);
    if (a.positional.size() != 2) return usageError("diff", "name two files", err);
    ConfigFileData left, right;
    for (auto [path, data] : {std::pair{&a.positional[0], &left}, {&a.positional[1], &right}}) {
        if (const int code = readFile("diff", *path, *data, err); code != kExitOk) return code;
    }
    if (left.kind != right.kind) {
        err << "velor-cli: " << a.positional[0] << " and " << a.positional[1]
            << " are files of different kinds\n";
        return kExitUsage;
    }
    const auto l = configFieldsOf(left);
    const auto r = configFieldsOf(right);
    int differing = 0;
    for (std::size_t i = 0; i < l.size() && i < r.size(); ++i) {
        const std::string lv = fieldValueText(l[i]);
        const std::string rv = fieldValueText(r[i]);
        if (lv == rv) continue;
        out << l[i].name << ": " << lv << " -> " << rv << "\n";
        ++differing;
    }
    return differing == 0 ? kExitOk : kExitNo;
}

}  // namespace velor::cli
