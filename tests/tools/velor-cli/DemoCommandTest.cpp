// "velor-cli demo": the demo folder's configuration files address the simulator's modules.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sstream>

#include "comm/ComConfig.h"
#include "config/ConfigFiles.h"
#include "support/MessageRecorder.h"
#include "tools/velor-cli/DemoCommand.h"

namespace velor {
namespace {

TEST(VelorCliDemo, NewFolderGetsFilesThatLoadWithTheDemoAddresses) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    std::ostringstream out, err;
    ASSERT_EQ(cli::runDemo({folder}, out, err), 0) << err.str();

    test::MessageRecorder rec;
    ConfigState config;
    config.WorkDirectory = folder;
    ChannelState channels;
    channels.ComConfigPath = folder + "/COM.CFG";
    LoadAnalogConfig(config, channels);
    LoadBinaryConfig(config, channels);
    EXPECT_TRUE(rec.calls.empty());  // no "Soubor bude inicializován" at the first start
    EXPECT_EQ(config.AnalogConfig.ModuleAddress, 1);
    EXPECT_EQ(config.BinaryConfig.ModuleAddress, 2);
    EXPECT_EQ(config.AnalogConfig.Inputs[0].Name, defaultInputName(0));
    EXPECT_EQ(config.BinaryImage.CommTimeout, 5000);
}

TEST(VelorCliDemo, FilesThatExistAreLeftAlone) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile mine(dir.filePath("KonfigA.cfa"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("the user's own");
    mine.close();

    std::ostringstream out, err;
    ASSERT_EQ(cli::runDemo({dir.path().toStdString()}, out, err), 0) << err.str();
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), QByteArray("the user's own"));
    EXPECT_EQ(QFileInfo(dir.filePath("KonfigB.cfb")).size(), 2704);

    EXPECT_EQ(cli::runDemo({}, out, err), 2);
    // Files that cannot be written are exit 2, as for every command.
    EXPECT_EQ(cli::runDemo({dir.filePath("chybi/dal").toStdString()}, out, err), 2);
}

}  // namespace
}  // namespace velor
