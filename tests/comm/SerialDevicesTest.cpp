// The access check of a serial device judged as another user would meet it, and the COMn
// entries made in a working directory of the test's own. No real serial device is touched.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <string>

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "comm/SerialDevices.h"

namespace velor {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// CheckPortAccess run in a child that gave up root for nobody: 1 accessible, 0 not, -1 when
// the child could not change its user.
int accessAsNobody(const std::string& path, std::string& remedy) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        char result = 'x';
        if (::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0) {
            const PortAccess a = checkPortAccess(path);
            result = a.accessible ? '1' : '0';
            const std::string text = result + a.remedy;
            (void)!::write(pipeFds[1], text.data(), text.size());
        } else {
            (void)!::write(pipeFds[1], &result, 1);
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (text.empty() || text[0] == 'x') return -1;
    remedy = text.substr(1);
    return text[0] == '1' ? 1 : 0;
}

TEST(SerialDevicesTest, AccessIsJudgedForTheUserThatOpens) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const std::string node = dir.filePath("ttyFAKE0").toStdString();
    QFile file(QString::fromStdString(node));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    const PortAccess missing = checkPortAccess(dir.filePath("ttyNONE").toStdString());
    EXPECT_FALSE(missing.exists);
    EXPECT_FALSE(missing.accessible);
    EXPECT_NE(missing.remedy.find("no such device"), std::string::npos);

    if (::geteuid() != 0) {
        // Not root: the mode decides for this very process.
        ASSERT_EQ(::chmod(node.c_str(), 0), 0);
        const PortAccess a = checkPortAccess(node);
        EXPECT_TRUE(a.exists);
        EXPECT_FALSE(a.accessible);
        EXPECT_NE(a.remedy.find("join the group"), std::string::npos);
        return;
    }
    // Root may open anything; the user behind the desk may not.
    ASSERT_EQ(::chmod(node.c_str(), 0660), 0);
    EXPECT_TRUE(checkPortAccess(node).accessible);
    std::string remedy;
    const int denied = accessAsNobody(node, remedy);
    ASSERT_NE(denied, -1) << "could not become nobody";
    EXPECT_EQ(denied, 0);
    EXPECT_NE(remedy.find("permission denied: join the group"), std::string::npos) << remedy;
    EXPECT_NE(remedy.find("log in again"), std::string::npos);

    // Readable only is not enough for a port.
    ASSERT_EQ(::chmod(node.c_str(), 0664), 0);
    EXPECT_EQ(accessAsNobody(node, remedy), 0);
    ASSERT_EQ(::chmod(node.c_str(), 0666), 0);
    EXPECT_EQ(accessAsNobody(node, remedy), 1);
    EXPECT_TRUE(remedy.empty());
}

class ComLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        old = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
    }
    void TearDown() override { QDir::setCurrent(old); }

    QTemporaryDir dir;
    QString old;
    std::error_code problem;
};

TEST_F(ComLinkTest, ALinkIsMadeAndReplacedOnlyWhenAsked) {
    EXPECT_EQ(makeComLink("COM4", "/dev/serial/by-id/usb-A", false, problem), ComLinkResult::Made);
    EXPECT_EQ(fs::read_symlink("COM4"), "/dev/serial/by-id/usb-A");

    EXPECT_EQ(makeComLink("COM4", "/dev/serial/by-id/usb-A", false, problem), ComLinkResult::Made);
    EXPECT_EQ(makeComLink("COM4", "/dev/ttyUSB1", false, problem), ComLinkResult::Exists);
    EXPECT_EQ(fs::read_symlink("COM4"), "/dev/serial/by-id/usb-A");
    EXPECT_EQ(makeComLink("COM4", "/dev/ttyUSB1", true, problem), ComLinkResult::Made);
    EXPECT_EQ(fs::read_symlink("COM4"), "/dev/ttyUSB1");
    EXPECT_FALSE(fs::exists(fs::symlink_status("COM4.new")));
}

TEST_F(ComLinkTest, ARegularFileIsNeverReplaced) {
    QFile file(dir.filePath("COM5"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep");
    file.close();
    EXPECT_EQ(makeComLink("COM5", "/dev/ttyUSB0", true, problem), ComLinkResult::NotALink);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "keep");

    ASSERT_TRUE(QDir(dir.path()).mkdir("COM6"));
    EXPECT_EQ(makeComLink("COM6", "/dev/ttyUSB0", true, problem), ComLinkResult::NotALink);
}

TEST(SerialDevicesTest, LinkTargetPrefersTheByIdPath) {
    SerialDevice d;
    d.device = "/dev/ttyUSB0";
    EXPECT_EQ(linkTargetOf(d), "/dev/ttyUSB0");
    EXPECT_EQ(usbIdsText(d), "");
    d.byIdPath = "/dev/serial/by-id/usb-FTDI_A1-if00-port0";
    d.hasUsbIds = true;
    d.vendorId = 0x0403;
    d.productId = 0x6001;
    EXPECT_EQ(linkTargetOf(d), d.byIdPath);
    EXPECT_EQ(usbIdsText(d), "0403:6001");
}

}  // namespace
}  // namespace velor
