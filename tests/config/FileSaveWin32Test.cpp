// What a save keeps on Windows: the replaced file's attributes, a read-only mark refused, files
// in a folder and under names with Czech letters (wide paths, never the ANSI code page), and
// the temporary files an interrupted save left behind.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "ConfigFixture.h"
#include "comm/ComConfig.h"
#include "comm/FileStore.h"
#include "config/ConfigFiles.h"

namespace velor::test {
namespace {

std::wstring wide(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

DWORD attributesOf(const QString& path) {
    return GetFileAttributesW(wide(path).c_str());
}

using FileSave = DefaultConfigsFixture;

TEST_F(FileSave, ReplacedFileKeepsItsAttributes) {
    ASSERT_TRUE(SaveAnalogConfig(state, channels));
    const DWORD marks = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesW(wide(path("KonfigA.cfa")).c_str(), marks));
    state.AnalogConfig.ModuleAddress = 7;
    ASSERT_TRUE(SaveAnalogConfig(state, channels));
    EXPECT_EQ(attributesOf(path("KonfigA.cfa")) & marks, marks);
    EXPECT_EQ(readBytes("KonfigA.cfa")[960], 7);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // + COM.CFG
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(FileSave, ReadOnlyFileIsRefusedAndKept) {
    ASSERT_TRUE(SaveAnalogConfig(state, channels));
    const auto before = readBytes("KonfigA.cfa");
    ASSERT_TRUE(SetFileAttributesW(wide(path("KonfigA.cfa")).c_str(), FILE_ATTRIBUTE_READONLY));
    state.AnalogConfig.ModuleAddress = 9;
    EXPECT_FALSE(SaveAnalogConfig(state, channels));
    EXPECT_EQ(readBytes("KonfigA.cfa"), before);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].text2, "Soubor je určen jen pro čtení");
    SetFileAttributesW(wide(path("KonfigA.cfa")).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileSave, NamesWithCzechLettersAreWrittenAndReadBack) {
    const QString folder = path(QStringLiteral("Měření Žďár"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/Konfigurace čerpadla.cfa");
    const std::vector<std::uint8_t> bytes{1, 2, 3, 0xE8};
    ASSERT_FALSE(saveFileDurably(fileStorePath(file), bytes));
    EXPECT_TRUE(QFile::exists(file));  // under its own name, not a code page's guess
    EXPECT_EQ(readRegularFile(fileStorePath(file), 100), bytes);

    channels.ComConfigPath = fileStorePath(folder + QStringLiteral("/COM.CFG"));
    SaveComConfig(channels);
    EXPECT_EQ(QFileInfo(folder + QStringLiteral("/COM.CFG")).size(), 264);
}

TEST_F(FileSave, TemporaryFilesLeftByAnInterruptedSaveAreRemoved) {
    const QString marker = QString::fromLatin1(kSaveTemporaryMarker);
    const QString stale = "KonfigA.cfa" + marker + "Ab12Cd";
    const QString live = "KonfigA.cfa" + marker + "Zz99Yy";
    const QString foreign = "KonfigA.cfa.Ab12Cd";  // not one of ours: left alone
    for (const QString& name : {stale, live, foreign}) writeText(name, "half a file");
    // A save in progress holds its temporary file open, unshared.
    const HANDLE holder =
        CreateFileW(wide(path(live)).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SaveAnalogConfig(state, channels));
    EXPECT_FALSE(QFile::exists(path(stale)));
    EXPECT_TRUE(QFile::exists(path(live)));
    EXPECT_TRUE(QFile::exists(path(foreign)));
    CloseHandle(holder);
}

TEST_F(FileSave, AFolderOrADeviceIsNotAFile) {
    ASSERT_TRUE(QDir().mkpath(path("KonfigA.cfa")));
    const std::vector<std::uint8_t> bytes{1};
    const auto error = saveFileDurably(fileStorePath(path("KonfigA.cfa")), bytes);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->cause, FileError::Cause::NotRegularFile);
    EXPECT_FALSE(readRegularFile(fileStorePath(path("KonfigA.cfa")), 10));
    EXPECT_FALSE(readRegularFile("NUL", 10));  // a device reads as no file
}

}  // namespace
}  // namespace velor::test
