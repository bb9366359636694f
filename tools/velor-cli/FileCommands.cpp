// show, create and diff: the configuration files and COM.CFG by their fields.

#include <QFile>
#include <QSaveFile>

#include "config/ConfigFields.h"
#include "tools/velor-cli/Args.h"
#include "tools/velor-cli/Commands.h"

namespace velor::cli {

namespace {

// Reads a file of a kind its name tells; exit code 2 with a message otherwise.
int readFile(const std::string& command, const std::string& path, ConfigFileData& data,
             std::ostream& err) {
    const auto kind = ConfigFileKindOf(path);
    if (!kind) return UsageError(command, path + ": not a .cfa, .cfb or COM.CFG file", err);
    std::string problem;
    if (!ReadConfigFile(QString::fromStdString(path), *kind, data, problem)) {
        err << "velor-cli: " << problem << "\n";
        return kExitUsage;
    }
    return kExitOk;
}

int fromJson(const std::string& from, ConfigFileData& data, std::ostream& err) {
    QFile json(QString::fromStdString(from));
    if (!json.open(QIODevice::ReadOnly)) {
        err << "velor-cli: " << from << ": " << json.errorString().toStdString() << "\n";
        return kExitUsage;
    }
    std::string problem;
    if (!ConfigFileFromJson(json.readAll(), data, problem)) {
        err << "velor-cli: " << from << ": " << problem << "\n";
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace

int RunShow(const Arguments& raw, std::ostream& out, std::ostream& err) {
    ParsedArgs a;
    std::string problem;
    if (!ParseArgs(raw, {{}, {"--json"}}, a, problem)) return UsageError("show", problem, err);
    if (a.positional.size() != 1) return UsageError("show", "name one file", err);
    ConfigFileData data;
    if (const int code = readFile("show", a.positional[0], data, err); code != kExitOk) return code;
    if (a.has("--json")) {
        out << ConfigFileToJson(data);
        return kExitOk;
    }
    for (const ConfigField& f : ConfigFieldsOf(data))
        out << f.name << " = " << FieldValueText(f) << "\n";
    return kExitOk;
}

int RunCreate(const Arguments& raw, std::ostream& out, std::ostream& err) {
    ParsedArgs a;
    std::string problem;
    if (!ParseArgs(raw, {{"--from"}, {"--defaults"}}, a, problem))
        return UsageError("create", problem, err);
    const auto from = a.value("--from");
    if (a.positional.size() != 1 || from.has_value() == a.has("--defaults"))
        return UsageError("create", "name the file to write and either --from JSON or --defaults",
                          err);
    const std::string& path = a.positional[0];
    const auto kind = ConfigFileKindOf(path);
    ConfigFileData data;
    if (!from) {
        if (!kind) return UsageError("create", path + ": not a .cfa, .cfb or COM.CFG file", err);
        data = DefaultConfigFile(*kind);
    } else if (const int code = fromJson(*from, data, err); code != kExitOk) {
        return code;
    }
    if (kind && *kind != data.kind) {
        err << "velor-cli: " << path << ": the JSON describes a ." << ConfigFileKindName(data.kind)
            << " file\n";
        return kExitUsage;
    }
    // Written whole or not at all: the old file stays until the new one is complete.
    QSaveFile file(QString::fromStdString(path));
    const std::vector<std::uint8_t> bytes = EncodeConfigFile(data);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !file.commit()) {
        err << "velor-cli: " << path << ": " << file.errorString().toStdString() << "\n";
        return kExitUsage;
    }
    out << path << ": " << bytes.size() << " bytes written\n";
    return kExitOk;
}

int RunDiff(const Arguments& raw, std::ostream& out, std::ostream& err) {
    ParsedArgs a;
    std::string problem;
    if (!ParseArgs(raw, {}, a, problem)) return UsageError("diff", problem, err);
    if (a.positional.size() != 2) return UsageError("diff", "name two files", err);
    ConfigFileData left, right;
    for (auto [path, data] : {std::pair{&a.positional[0], &left}, {&a.positional[1], &right}}) {
        if (const int code = readFile("diff", *path, *data, err); code != kExitOk) return code;
    }
    if (left.kind != right.kind) {
        err << "velor-cli: " << a.positional[0] << " and " << a.positional[1]
            << " are files of different kinds\n";
        return kExitUsage;
    }
    const auto l = ConfigFieldsOf(left);
    const auto r = ConfigFieldsOf(right);
    int differing = 0;
    for (std::size_t i = 0; i < l.size() && i < r.size(); ++i) {
        const std::string lv = FieldValueText(l[i]);
        const std::string rv = FieldValueText(r[i]);
        if (lv == rv) continue;
        out << l[i].name << ": " << lv << " -> " << rv << "\n";
        ++differing;
    }
    return differing == 0 ? kExitOk : kExitNo;
}

}  // namespace velor::cli
