#include <gtest/gtest.h>

#include <unistd.h>
#include <QProcess>

#include "app/SingleInstance.h"

namespace velor {
namespace {

std::string uniqueName(const char* what) {
    return std::string("VelorTest-") + what + "-" + std::to_string(getpid());
}

TEST(SingleInstanceTest, SecondGuardRefusedUntilTheFirstLetsGo) {
    const std::string name = uniqueName("inproc");
    SingleInstance first(name);
    SingleInstance second(name);
    ASSERT_TRUE(first.acquire());
    EXPECT_TRUE(first.acquire());  // holding it already
    EXPECT_FALSE(second.acquire());
    first.release();
    EXPECT_TRUE(second.acquire());
    second.release();
    {
        SingleInstance scoped(name);
        ASSERT_TRUE(scoped.acquire());
    }  // released by the destructor
    EXPECT_TRUE(first.acquire());
}

// A second process is refused while the first runs; a killed first copy leaves a lock file
// behind that does not block the next start.
TEST(SingleInstanceTest, KilledHolderDoesNotBlock) {
    const QString name = QString::fromStdString(uniqueName("proc"));
    QProcess holder;
    holder.start(QStringLiteral(VELOR_HOLDER_PATH), {name});
    ASSERT_TRUE(holder.waitForStarted(10000));
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ASSERT_EQ(holder.readAllStandardOutput().trimmed(), "held");

    QProcess second;
    second.start(QStringLiteral(VELOR_HOLDER_PATH), {name});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_EQ(second.readAllStandardOutput().trimmed(), "refused");

    SingleInstance guard(name.toStdString());
    EXPECT_FALSE(guard.acquire());

    holder.kill();  // no chance to clean up
    ASSERT_TRUE(holder.waitForFinished(10000));
    EXPECT_TRUE(guard.acquire());
}

}  // namespace
}  // namespace velor
