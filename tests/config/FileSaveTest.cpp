// What a save keeps of the file it replaces: mode, symbolic link, read-only mark, the
// directory's other files; saves in a directory that cannot take a new file; the messages of a
// failed save; and loads that meet a pipe or a device where a file should be.

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFileInfo>
#include <cstdio>
#include <functional>

#include "ConfigFixture.h"
#include "comm/ComConfig.h"
#include "comm/FileStore.h"
#include "config/ConfigFiles.h"

namespace velor::test {
namespace {

mode_t modeOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st.st_mode & 07777;
}

// Sets the umask for one test and puts the old one back.
class Umask {
public:
    explicit Umask(mode_t mask) : previous_(::umask(mask)) {}
    ~Umask() { ::umask(previous_); }

private:
    mode_t previous_;
};

class FileSave : public DefaultConfigsFixture {
protected:
    std::string native(const QString& name) const {
        return QFile::encodeName(path(name)).toStdString();
    }
};

TEST_F(FileSave, NewFilesFollowTheUmaskAndReplacedFilesKeepTheirMode) {
    Umask mask(027);
    ASSERT_TRUE(SaveAnalogConfig(state, channels));
    EXPECT_EQ(modeOf(path("KonfigA.cfa")), 0640u);
    EXPECT_EQ(modeOf(path("COM.CFG")), 0640u);

    ASSERT_EQ(::chmod(native("KonfigA.cfa").c_str(), 0664), 0);
    ASSERT_EQ(::chmod(native("COM.CFG").c_str(), 0604), 0);
    state.AnalogConfig.ModuleAddress = 7;
    ASSERT_TRUE(SaveAnalogConfig(state, channels));
    EXPECT_EQ(modeOf(path("KonfigA.cfa")), 0664u);
    EXPECT_EQ(modeOf(path("COM.CFG")), 0604u);
    EXPECT_EQ(readBytes("KonfigA.cfa")[960], 7);
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(FileSave, SymbolicLinkStaysAndItsTargetIsWritten) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("shared"));
    ASSERT_TRUE(SaveBinaryConfig(state, channels));
    ASSERT_TRUE(QFile::rename(path("KonfigB.cfb"), path("shared/KonfigB.cfb")));
    ASSERT_EQ(::symlink("shared/KonfigB.cfb", native("KonfigB.cfb").c_str()), 0);
    // A link whose target does not exist yet: the save creates the target.
    ASSERT_EQ(::symlink("shared/novy.cfb", native("Novy.cfb").c_str()), 0);

    state.BinaryConfig.ModuleAddress = 2;
    ASSERT_TRUE(SaveBinaryConfig(state, channels));
    state.BinaryFileName = "Novy.cfb";
    ASSERT_TRUE(SaveBinaryConfig(state, channels));

    for (const char* link : {"KonfigB.cfb", "Novy.cfb"}) {
        SCOPED_TRACE(link);
        EXPECT_TRUE(QFileInfo(path(link)).isSymLink());
    }
    EXPECT_EQ(readBytes("shared/KonfigB.cfb")[2560], 2);
    EXPECT_EQ(readBytes("shared/novy.cfb").size(), 2704u);
}

TEST_F(FileSave, ReadOnlyFileIsRefusedWithTheWriteError) {
    ASSERT_TRUE(SaveAnalogConfig(state, channels));
    const auto before = readBytes("KonfigA.cfa");
    ASSERT_EQ(::chmod(native("KonfigA.cfa").c_str(), 0444), 0);

    state.AnalogConfig.ModuleAddress = 9;
    EXPECT_FALSE(SaveAnalogConfig(state, channels));

    EXPECT_EQ(readBytes("KonfigA.cfa"), before);
    EXPECT_EQ(modeOf(path("KonfigA.cfa")), 0444u);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].text1, "Chyba při zápisu souboru: KonfigA.cfa");
    EXPECT_EQ(rec.calls[0].text2, "Soubor je určen jen pro čtení");

    // COM.CFG likewise; the command-line tool and other callers get the exception.
    ASSERT_EQ(::chmod(native("COM.CFG").c_str(), 0400), 0);
    EXPECT_THROW(SaveComConfig(channels), FileWriteError);
}

TEST_F(FileSave, TemporaryFilesLeftByAnInterruptedSaveAreRemoved) {
    const std::string marker = kSaveTemporaryMarker;
    const QString stale = "KonfigA.cfa" + QString::fromStdString(marker) + "Ab12Cd";
    const QString live = "KonfigA.cfa" + QString::fromStdString(marker) + "Zz99Yy";
    const QString foreign = "KonfigA.cfa.Ab12Cd";  // not one of ours: left alone
    for (const QString& name : {stale, live, foreign}) writeText(name, "half a file");
    // A save in progress holds a lock on its temporary file.
    const int holder = ::open(native(live).c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    ASSERT_TRUE(SaveAnalogConfig(state, channels));

    EXPECT_FALSE(QFile::exists(path(stale)));
    EXPECT_TRUE(QFile::exists(path(live)));
    EXPECT_TRUE(QFile::exists(path(foreign)));
    ::close(holder);
    const QStringList left = QDir(dir.path()).entryList(QDir::Files);
    EXPECT_EQ(left.size(), 4) << left.join(u' ').toStdString();
}

TEST_F(FileSave, HardLinkedFileIsWrittenInPlace) {
    ASSERT_TRUE(SaveAnalogConfig(state, channels));
    ASSERT_EQ(::link(native("KonfigA.cfa").c_str(), native("kopie.cfa").c_str()), 0);
    state.AnalogConfig.ModuleAddress = 4;
    ASSERT_TRUE(SaveAnalogConfig(state, channels));
    EXPECT_EQ(readBytes("kopie.cfa")[960], 4);
}

// Root may write anywhere, so the refusals of a directory are met by a child that runs as
// "nobody". The child's exit code is the number of checks that failed.
TEST_F(FileSave, DirectoryThatTakesNoNewFileIsWrittenInPlace) {
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "needs root and a user nobody";
    ASSERT_TRUE(SaveAnalogConfig(state, channels));
    const std::string locked = native("locked");
    ASSERT_EQ(::mkdir(locked.c_str(), 0755), 0);
    const std::string cfg = locked + "/COM.CFG";
    const std::string readOnly = locked + "/KonfigB.cfb";
    ASSERT_TRUE(QFile::copy(path("COM.CFG"), QString::fromStdString(cfg)));
    ASSERT_TRUE(QFile::copy(path("COM.CFG"), QString::fromStdString(readOnly)));
    ASSERT_EQ(::chown(cfg.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(::chmod(cfg.c_str(), 0640), 0);
    ASSERT_EQ(::chown(readOnly.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);  // owned by root: nobody cannot add a file
    ASSERT_EQ(::chmod(dir.path().toLocal8Bit().constData(), 0755), 0);

    const std::vector<std::uint8_t> bytes(264, 0x5A);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) ::_exit(100);
        int failed = 0;
        if (saveFileDurably(cfg, bytes).has_value()) ++failed;
        const FileError refused{FileError::Cause::ReadOnlyFile, 0};
        if (saveFileDurably(readOnly, bytes) != refused) ++failed;
        const FileError denied{FileError::Cause::System, EACCES};
        if (saveFileDurably(locked + "/KonfigA.cfa", bytes) != denied) ++failed;
        ::_exit(failed);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::chmod(locked.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readBytes("locked/COM.CFG"), bytes);
    EXPECT_EQ(modeOf(path("locked/COM.CFG")), 0640u);
    EXPECT_EQ(readBytes("locked/KonfigB.cfb"), readBytes("COM.CFG"));
}

// A start where COM.CFG cannot be written: both loaders and both initialised files write it, and
// the user hears of it once, in Czech, with the file's own name. A save the user asks for later
// reports it again.
TEST_F(FileSave, EachWriteFailureIsShownOnceWithItsReasonInCzech) {
    channels.ComConfigPath = path("chybi/COM.CFG").toStdString();
    const std::string comError = "Chyba při zápisu souboru: " + channels.ComConfigPath;

    LoadAnalogConfig(state, channels);
    LoadBinaryConfig(state, channels);

    std::vector<std::string> shown;
    for (const MessageCall& c : rec.calls) shown.push_back(c.text1 + " / " + c.text2);
    const std::vector<std::string> expected{
        comError + " / Složka neexistuje",
        "Chyba při čtení souboru: KonfigA.cfa / Soubor bude inicializován",
        "Chyba při čtení souboru: KonfigB.cfb / Soubor bude inicializován",
    };
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(readBytes("KonfigB.cfb").size(), 2704u);

    rec.calls.clear();
    EXPECT_FALSE(SaveBinaryConfig(state, channels));
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].text1, comError);
}

// Runs body in a child process that the alarm ends after `seconds`, so a load that hangs fails
// the test instead of stopping it. The child's exit code is the number of failed checks.
int exitCodeWithin(unsigned seconds, const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(seconds);
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileSave, PipesAndDevicesAreFilesThatCannotBeOpened) {
    ASSERT_EQ(::mkfifo(native("KonfigA.cfa").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(native("COM.CFG").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/zero", native("ParamIOI.cfw").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", native("KonfigB.cfb").c_str()), 0);

    const int failed = exitCodeWithin(10, [&] {
        state.AnalogConfig.ModuleAddress = 9;
        LoadAnalogConfig(state, channels);
        LoadBinaryConfig(state, channels);
        std::vector<std::string> shown;
        for (const MessageCall& c : rec.calls) shown.push_back(c.text1 + " / " + c.text2);
        const std::string device = " / Není to obyčejný soubor";
        const std::vector<std::string> expected{
            "Chyba při zápisu souboru: " + channels.ComConfigPath + device,
            "Chyba při čtení souboru: KonfigA.cfa / Soubor bude inicializován",
            "Chyba při zápisu souboru: KonfigA.cfa" + device,
            "Chyba při čtení souboru: KonfigB.cfb / Soubor bude inicializován",
            "Chyba při zápisu souboru: KonfigB.cfb" + device,
        };
        int bad = shown == expected ? 0 : 1;
        // The defaults in memory, the built-in sensor table without a word.
        bad += state.AnalogConfig.ModuleAddress == 0 ? 0 : 1;
        bad += state.SensorLastIndex == 61 ? 0 : 1;
        if (bad != 0) {  // the child cannot report through the test's own checks
            for (const std::string& text : shown) std::fprintf(stderr, "%s\n", text.c_str());
            std::fprintf(stderr, "address %d, last sensor %d\n", state.AnalogConfig.ModuleAddress,
                         state.SensorLastIndex);
        }
        return bad;
    });

    EXPECT_EQ(failed, 0);
    const QFileInfo pipe(path("KonfigA.cfa"));
    EXPECT_FALSE(pipe.isFile());  // still the pipe: nothing was put in its place
    EXPECT_TRUE(QFileInfo(path("KonfigB.cfb")).isSymLink());
}

// The check a writer of a growing file makes before it starts: the same refusals as the save.
TEST_F(FileSave, RefusalToSaveNamesWhatTheSaveWouldRefuse) {
    ASSERT_EQ(::mkfifo(native("pipe.csv").c_str(), 0644), 0);
    ASSERT_EQ(::symlink(native("pipe.csv").c_str(), native("link.csv").c_str()), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.csv"));
    const FileError notRegular{FileError::Cause::NotRegularFile, 0};
    for (const char* name : {"pipe.csv", "link.csv", "folder.csv"})
        EXPECT_EQ(refusalToSave(native(name)), notRegular) << name;
    EXPECT_EQ(refusalToSave(native("new.csv")), std::nullopt);
    const std::vector<std::uint8_t> bytes{1, 2, 3};
    ASSERT_EQ(saveFileDurably(native("new.csv"), bytes), std::nullopt);
    EXPECT_EQ(refusalToSave(native("new.csv")), std::nullopt);
    EXPECT_EQ(refusalToSave(native("missing/new.csv")), std::nullopt);
}

}  // namespace
}  // namespace velor::test
