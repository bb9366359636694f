#pragma once
// A working directory of its own for each test, with COM.CFG inside it, and the message recorder.

#include <gtest/gtest.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <string>
#include <vector>

#include "comm/ChannelState.h"
#include "config/ConfigFiles.h"
#include "config/ConfigState.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"

namespace velor::test {

class ConfigFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        state.WorkDirectory = dir.path().toStdString();
        channels.ComConfigPath = path("COM.CFG").toStdString();
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    std::vector<std::uint8_t> readBytes(const QString& name) const {
        const QByteArray data = fileBytes(path(name));
        return {data.begin(), data.end()};
    }

    void writeBytes(const QString& name, const std::vector<std::uint8_t>& bytes) const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }

    void writeText(const QString& name, const std::string& bytes) const {
        writeBytes(name, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }

    QTemporaryDir dir;
    ConfigState state;
    ChannelState channels;
    MessageRecorder rec;
};

// Both configurations at their defaults in the state, to be saved.
class DefaultConfigsFixture : public ConfigFixture {
protected:
    void SetUp() override {
        ConfigFixture::SetUp();
        InitAnalogConfig(state);
        InitBinaryConfig(state);
    }
};

}  // namespace velor::test
