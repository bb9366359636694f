#include "config/ConfigFields.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <span>

#include "comm/ByteCodec.h"
#include "comm/ComConfig.h"
#include "config/ConfigFiles.h"
#include "ui/Cp1250.h"

namespace velor {

namespace {

constexpr double kAnyReal = std::numeric_limits<double>::infinity();

std::string indexed(const std::string& name, std::size_t i) {
    return name + "[" + std::to_string(i) + "]";
}

// Walks every field of the data in file order; the visitor reads or writes each one.
// Ranges are those the editors declare; fields the editors do not edit take their type's range.
// The fields behind the inputs of a configuration and at the head of an image.
template <typename V, typename Config>
void visitTrailer(V& v, const std::string& p, Config& config) {
    v.integer(p + "ModuleAddress", config.ModuleAddress, 0, 31);
    v.integer(p + "SavedPortNumber", config.SavedPortNumber, 0, 255);
    v.integer(p + "SavedBaudIndex", config.SavedBaudIndex, 0, 65535);
}

template <typename V, typename Image>
void visitImageHead(V& v, const std::string& p, Image& image) {
    v.integer(p + "ResponseDelay", image.ResponseDelay, 0, 255);
    v.integer(p + "BaudCode", image.BaudCode, 0, 255);
    v.integer(p + "CommTimeout", image.CommTimeout, 0, 65535);
    for (std::size_t i = 0; i < image.Tag.size(); ++i)
        v.integer(indexed(p + "Tag", i), image.Tag[i], 0, 255);
}

template <typename V>
void visitAnalog(V& v, ConfigState& c) {
    for (std::size_t i = 0; i < c.AnalogConfig.Inputs.size(); ++i) {
        AnalogInput& in = c.AnalogConfig.Inputs[i];
        const std::string p = indexed("AnalogConfig.Inputs", i) + ".";
        v.text(p + "Name", in.Name, AnalogInput::kNameChars);
        v.integer(p + "Decimals", in.Decimals, 0, 8);
        v.integer(p + "FilterConstant", in.FilterConstant, 0, 65535);
        v.real(p + "LowLimit", in.LowLimit, -10000, 10000);
        v.real(p + "HighLimit", in.HighLimit, -10000, 10000);
        v.real(p + "Offset", in.Offset, -100, 10000);
        v.real(p + "ZeroSuppression", in.ZeroSuppression, -100, 10000);
        v.integer(p + "SensorIndex", in.SensorIndex, 0, 100);
        v.text(p + "SensorName", in.SensorName, AnalogInput::kSensorNameChars);
    }
    visitTrailer(v, "AnalogConfig.", c.AnalogConfig);
    v.integer("AnalogConfig.Variant", c.AnalogConfig.Variant, 0, 255);

    AnalogImage& m = c.AnalogImage;
    visitImageHead(v, "AnalogImage.", m);
    // The per-input arrays in the order of the image: limits, filters, then the polynomial.
    auto reals = [&](const char* name, std::array<float, kAnalogInputCount>& values) {
        for (std::size_t i = 0; i < kAnalogInputCount; ++i)
            v.real(indexed(std::string("AnalogImage.") + name, i), values[i], -kAnyReal, kAnyReal);
    };
    reals("LowLimit", m.LowLimit);
    reals("HighLimit", m.HighLimit);
    for (std::size_t i = 0; i < kAnalogInputCount; ++i)
        v.integer(indexed("AnalogImage.Filter", i), m.Filter[i], 0, 65535);
    reals("D", m.D);
    reals("C", m.C);
    reals("B", m.B);
    reals("A", m.A);
}

template <typename V>
void visitBinary(V& v, ConfigState& c) {
    for (std::size_t i = 0; i < c.BinaryConfig.Inputs.size(); ++i) {
        BinaryInput& in = c.BinaryConfig.Inputs[i];
        const std::string p = indexed("BinaryConfig.Inputs", i) + ".";
        v.text(p + "Name", in.Name, BinaryInput::kNameChars);
        v.integer(p + "FilterL", in.FilterL, 1, 255);
        v.integer(p + "FilterH", in.FilterH, 1, 255);
    }
    visitTrailer(v, "BinaryConfig.", c.BinaryConfig);

    BinaryImage& m = c.BinaryImage;
    visitImageHead(v, "BinaryImage.", m);
    for (std::size_t i = 0; i < kBinaryInputCount; ++i)
        v.integer(indexed("BinaryImage.FilterH", i), m.FilterH[i], 0, 255);
    for (std::size_t i = 0; i < kBinaryInputCount; ++i)
        v.integer(indexed("BinaryImage.FilterL", i), m.FilterL[i], 0, 255);
}

// A raw text field of a channel record as a short text (the bytes behind it are not kept).
template <typename V, std::size_t N>
void rawText(V& v, const std::string& name, std::array<std::uint8_t, N>& raw) {
    std::string text = codec::getShortText(raw, 0, N - 1);
    v.text(name, text, N - 1);
    if constexpr (V::kWrites) {
        raw.fill(0);
        codec::putShortText(raw, 0, N - 1, text);
    }
}

template <typename V>
void visitComConfig(V& v, std::array<PortRecord, 2>& ports) {
    for (std::size_t ch = 0; ch < ports.size(); ++ch) {
        PortRecord& r = ports[ch];
        const std::string p = "Channel" + std::to_string(ch + 1) + ".";
        v.integer(p + "PortNumber", r.PortNumber, 0, 9);
        v.integer(p + "Unnamed", r.Unnamed, 0, 255);
        v.integer(p + "BaudIndex", r.BaudIndex, 0, 4);
        v.integer(p + "IgnoreLineErrors", r.IgnoreLineErrors, 0, 255);
        v.integer(p + "NoParity", r.NoParity, 0, 255);
        for (std::size_t i = 0; i < r.Padding.size(); ++i)
            v.integer(indexed(p + "Padding", i), r.Padding[i], 0, 255);
        v.integer(p + "Handle", r.Handle, std::numeric_limits<std::int32_t>::min(),
                  std::numeric_limits<std::int32_t>::max());
        rawText(v, p + "Text1", r.Text1);
        rawText(v, p + "Text2", r.Text2);
        rawText(v, p + "TcpHost", r.TcpHost);
    }
}

template <typename V>
void visitAll(V& v, ConfigFileData& d) {
    switch (d.kind) {
        case ConfigFileKind::Analog:
            visitAnalog(v, d.config);
            break;
        case ConfigFileKind::Binary:
            visitBinary(v, d.config);
            break;
        case ConfigFileKind::ComConfig:
            visitComConfig(v, d.ports);
            break;
    }
}

ConfigField fieldOf(const std::string& name, ConfigField::Type type) {
    ConfigField f;
    f.name = name;
    f.type = type;
    return f;
}

// Collects the fields.
struct Collector {
    static constexpr bool kWrites = false;
    std::vector<ConfigField> fields;

    template <typename T>
    void integer(const std::string& name, T& value, double low, double high) {
        ConfigField f = fieldOf(name, ConfigField::Type::Integer);
        f.integer = static_cast<std::int64_t>(value);
        f.low = low;
        f.high = high;
        fields.push_back(std::move(f));
    }
    void real(const std::string& name, float& value, double low, double high) {
        ConfigField f = fieldOf(name, ConfigField::Type::Real);
        f.real = value;
        f.low = low;
        f.high = high;
        fields.push_back(std::move(f));
    }
    void text(const std::string& name, std::string& value, std::size_t maxChars) {
        ConfigField f = fieldOf(name, ConfigField::Type::Text);
        f.text = cp1250ToUtf8(value);
        f.maxChars = maxChars;
        fields.push_back(std::move(f));
    }
};

std::optional<float> nonFiniteNamed(const QString& text) {
    if (text == "NaN") return std::numeric_limits<float>::quiet_NaN();
    if (text == "Inf") return std::numeric_limits<float>::infinity();
    if (text == "-Inf") return -std::numeric_limits<float>::infinity();
    return std::nullopt;
}

// Takes each field from the JSON object; stops at the first problem.
struct Reader {
    static constexpr bool kWrites = true;
    const QJsonObject& json;
    std::string problem;

    bool take(const std::string& name, QJsonValue& value) {
        if (!problem.empty()) return false;
        value = json.value(QString::fromStdString(name));
        if (value.isUndefined()) problem = name + ": missing";
        return problem.empty();
    }
    template <typename T>
    void integer(const std::string& name, T& value, double low, double high) {
        QJsonValue j;
        if (!take(name, j)) return;
        const double d = j.toDouble(std::nan(""));
        // Compared as a double before any conversion: 1e30 or -1e30 fits no integer type.
        if (!j.isDouble() || !std::isfinite(d) || d != std::floor(d)) {
            problem = name + ": not a whole number";
        } else if (d < low || d > high) {
            problem = name + ": " + numberText(d) + " is out of range " + rangeText(low, high);
        } else {
            value = static_cast<T>(d);
        }
    }
    void real(const std::string& name, float& value, double low, double high) {
        QJsonValue j;
        if (!take(name, j)) return;
        std::optional<float> f;
        const double d = j.toDouble();
        // A double beyond the range of a single has no single to become.
        if (j.isDouble() && !(std::fabs(d) <= std::numeric_limits<float>::max())) {
            problem = name + ": " + numberText(d) + " is out of range " + rangeText(low, high);
            return;
        }
        if (j.isDouble()) f = static_cast<float>(d);
        if (j.isString()) f = nonFiniteNamed(j.toString());
        if (!f) {
            problem = name + ": not a number";
        } else if (std::isnan(*f) ? low > -kAnyReal : (*f < low || *f > high)) {
            ConfigField shown = fieldOf(name, ConfigField::Type::Real);
            shown.real = *f;
            problem =
                name + ": " + fieldValueText(shown) + " is out of range " + rangeText(low, high);
        } else {
            value = *f;
        }
    }
    void text(const std::string& name, std::string& value, std::size_t maxChars) {
        QJsonValue j;
        if (!take(name, j)) return;
        if (!j.isString()) {
            problem = name + ": not a text";
            return;
        }
        const QString q = j.toString();
        const std::string bytes = qStringToCp1250(q);
        if (cp1250ToQString(bytes) != q) {
            problem = name + ": has a character code page 1250 cannot hold";
        } else if (bytes.size() > maxChars) {
            problem = name + ": longer than " + std::to_string(maxChars) + " characters";
        } else {
            value = bytes;
        }
    }
    static std::string numberText(double x) {
        char t[32];
        return std::string(t, std::to_chars(t, t + sizeof t, x).ptr);
    }
    static std::string rangeText(double low, double high) {
        if (low == -kAnyReal) return "of finite numbers";
        return numberText(low) + ".." + numberText(high);
    }
};

std::string jsonString(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace

std::optional<ConfigFileKind> configFileKindOf(const std::string& path) {
    const QString name = QString::fromStdString(path).section('/', -1).toLower();
    if (name.endsWith(".cfa")) return ConfigFileKind::Analog;
    if (name.endsWith(".cfb")) return ConfigFileKind::Binary;
    if (name.endsWith(".cfg")) return ConfigFileKind::ComConfig;
    return std::nullopt;
}

std::string configFileKindName(ConfigFileKind kind) {
    switch (kind) {
        case ConfigFileKind::Analog:
            return "cfa";
        case ConfigFileKind::Binary:
            return "cfb";
        case ConfigFileKind::ComConfig:
            break;
    }
    return "comcfg";
}

std::optional<ConfigFileKind> configFileKindNamed(const std::string& name) {
    for (ConfigFileKind k :
         {ConfigFileKind::Analog, ConfigFileKind::Binary, ConfigFileKind::ComConfig}) {
        if (configFileKindName(k) == name) return k;
    }
    return std::nullopt;
}

std::size_t configFileSize(ConfigFileKind kind) {
    switch (kind) {
        case ConfigFileKind::Analog:
            return kAnalogFileSize;
        case ConfigFileKind::Binary:
            return kBinaryFileSize;
        case ConfigFileKind::ComConfig:
            break;
    }
    return kComConfigSize;
}

bool readConfigFile(const QString& path, ConfigFileKind kind, ConfigFileData& data,
                    std::string& problem) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = path.toStdString() + ": " + file.errorString().toStdString();
        return false;
    }
    const QByteArray bytes = file.read(static_cast<qint64>(configFileSize(kind)));
    if (static_cast<std::size_t>(bytes.size()) < configFileSize(kind)) {
        problem = path.toStdString() + ": wrong file (" + std::to_string(bytes.size()) +
                  " bytes, a ." + configFileKindName(kind) + " file has " +
                  std::to_string(configFileSize(kind)) + ")";
        return false;
    }
    const std::span<const std::uint8_t> b(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                          static_cast<std::size_t>(bytes.size()));
    data.kind = kind;
    if (kind == ConfigFileKind::Analog) return decodeAnalogFile(data.config, b);
    if (kind == ConfigFileKind::Binary) return decodeBinaryFile(data.config, b);
    data.ports[0] = decodePortRecord(b);
    data.ports[1] = decodePortRecord(b.subspan(kPortRecordSize));
    return true;
}

std::vector<std::uint8_t> encodeConfigFile(const ConfigFileData& data) {
    if (data.kind == ConfigFileKind::Analog) return encodeAnalogFile(data.config);
    if (data.kind == ConfigFileKind::Binary) return encodeBinaryFile(data.config);
    std::vector<std::uint8_t> bytes(kComConfigSize);
    encodePortRecord(data.ports[0], bytes);
    encodePortRecord(data.ports[1], std::span(bytes).subspan(kPortRecordSize));
    return bytes;
}

ConfigFileData defaultConfigFile(ConfigFileKind kind) {
    ConfigFileData data;
    data.kind = kind;
    InitAnalogConfig(data.config);
    InitBinaryConfig(data.config);
    for (PortRecord& r : data.ports) setDefaultPortRecord(r);
    return data;
}

std::vector<ConfigField> configFieldsOf(const ConfigFileData& data) {
    ConfigFileData copy = data;
    Collector c;
    visitAll(c, copy);
    return std::move(c.fields);
}

std::string fieldValueText(const ConfigField& field) {
    switch (field.type) {
        case ConfigField::Type::Integer:
            return std::to_string(field.integer);
        case ConfigField::Type::Text:
            return jsonString(field.text);
        case ConfigField::Type::Real:
            break;
    }
    if (std::isnan(field.real)) return "\"NaN\"";
    if (std::isinf(field.real)) return field.real > 0 ? "\"Inf\"" : "\"-Inf\"";
    // The shortest text that reads back as the same single.
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, field.real).ptr;
    return std::string(text, end);
}

std::string configFileToJson(const ConfigFileData& data) {
    std::string out = "{\n  \"file\": \"" + configFileKindName(data.kind) + "\"";
    for (const ConfigField& f : configFieldsOf(data))
        out += ",\n  " + jsonString(f.name) + ": " + fieldValueText(f);
    return out + "\n}\n";
}

bool configFileFromJson(const QByteArray& json, ConfigFileData& data, std::string& problem) {
    if (static_cast<std::size_t>(json.size()) > kMaxConfigJsonBytes) {
        problem = "larger than any configuration (" + std::to_string(kMaxConfigJsonBytes) +
                  " bytes at most)";
        return false;
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (!doc.isObject()) {
        problem = "not a JSON object: " + error.errorString().toStdString() + " at offset " +
                  std::to_string(error.offset);
        return false;
    }
    const QJsonObject object = doc.object();
    const auto kind = configFileKindNamed(object.value("file").toString().toStdString());
    if (!kind) {
        problem = "file: must be \"cfa\", \"cfb\" or \"comcfg\"";
        return false;
    }
    ConfigFileData result;
    result.kind = *kind;
    Reader reader{object, {}};
    visitAll(reader, result);
    if (!reader.problem.empty()) {
        problem = reader.problem;
        return false;
    }
    data = std::move(result);
    return true;
}

}  // namespace velor
