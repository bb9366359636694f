#pragma once
// The program's state behind a finder window: COM.CFG in the test's own folder, channels 1 and
// 2 at their defaults, and the engine with the program's transfer windows.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "comm/PortRecord.h"
#include "monitor/AppState.h"
#include "support/EngineWiring.h"

namespace velor::test {

class FinderFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ChannelState& ch = app.comm.channel;
        ch.ComConfigPath = dir.filePath("COM.CFG").toStdString();
        setDefaultPortRecord(*ch.ChannelTable.record(1));
        setDefaultPortRecord(*ch.ChannelTable.record(2));
    }

    QTemporaryDir dir;
    AppState app;
    ChannelEngine wired{app.comm};
};

}  // namespace velor::test
