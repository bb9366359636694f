#pragma once
// A working directory with COM.CFG and the configuration files of its own for each editor test,
// the state the main window would hand to an editor, a fake port search and a scripted file
// dialog, and one QApplication for the test binary.

#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "comm/ChannelState.h"
#include "config/ConfigFiles.h"
#include "config/ConfigState.h"
#include "config/EditorContext.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"
#include "support/QtAppEnvironment.h"
#include "ui/FieldBinding.h"
#include "ui/FieldTable.h"

namespace velor::test {

class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        savedCurrent = QDir::currentPath();
        QDir::setCurrent(dir.path());
        setFormEndHook([] { ADD_FAILURE() << "form definition error"; });
        config.WorkDirectory = dir.path().toStdString();
        channels.ComConfigPath = path("COM.CFG").toStdString();
        LoadAnalogConfig(config, channels);
        LoadBinaryConfig(config, channels);
        rec.calls.clear();
        channels.PortSearchPending = true;
        context.searchPorts = [this](ChannelState& c) {
            ++searches;
            c.FoundPorts = foundPorts;
            c.PortSearchPending = false;
        };
        context.chooseFile = [this](QWidget*, const QString& filter) {
            lastFilter = filter;
            return chosenPath;
        };
    }

    void TearDown() override {
        setFormEndHook({});
        QDir::setCurrent(savedCurrent);
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    std::vector<std::uint8_t> readBytes(const QString& name) const {
        const QByteArray data = fileBytes(path(name));
        return {data.begin(), data.end()};
    }

    template <typename T>
    T* control(QWidget& form, const QString& name) {
        T* c = form.findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }

    QString text(QWidget& form, const QString& name) {
        auto* edit = control<QLineEdit>(form, name);
        return edit != nullptr ? edit->text() : QString();
    }

    void type(QWidget& form, const QString& name, const QString& value) {
        if (auto* edit = control<QLineEdit>(form, name)) edit->setText(value);
    }

    // A user's choice in a drop-down list.
    void choose(QWidget& form, const QString& name, int index) {
        auto* combo = control<QComboBox>(form, name);
        if (combo == nullptr) return;
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    PortRecord& channel1() { return *channels.ChannelTable.record(1); }

    MessageRecorder rec;
    QTemporaryDir dir;
    QString savedCurrent;
    ConfigState config;
    ChannelState channels;
    FieldBindingState fields;
    EditorContext context{config, channels, fields, {}, {}, {}, {}};

    std::vector<std::string> foundPorts{"COM2", "COM5"};
    int searches = 0;
    QString chosenPath;
    QString lastFilter;
};

}  // namespace velor::test
