// The paths the program takes: which start from the working directory, where
// the folder part ends, and files found whatever the letter case of their
// names, on POSIX systems and on Windows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "config/FileRead.h"
#include "config/PathLookup.h"
#include "romfile/ChosenFile.h"

using namespace otp;

TEST(PathLookup, AbsolutePathsAndFolderPartsOnEitherSystem) {
    const struct {
        std::string path;
        bool absolutePosix, absoluteWindows;
        std::string barePosix, bareWindows;  // BareFileName
    } rows[] = {
        {"/lines/a.rom", true, true, "a.rom", "a.rom"},
        {"a.rom", false, false, "a.rom", "a.rom"},
        {"sub/a.rom", false, false, "a.rom", "a.rom"},
        {"sub\\a.rom", false, false, "sub\\a.rom", "a.rom"},
        {"C:\\lines\\a.rom", false, true, "C:\\lines\\a.rom", "a.rom"},
        {"c:/lines/a.rom", false, true, "a.rom", "a.rom"},
        {"C:a.rom", false, true, "C:a.rom", "a.rom"},
        {"\\\\server\\share\\a.rom", false, true, "\\\\server\\share\\a.rom", "a.rom"},
        {"\\lines\\a.rom", false, true, "\\lines\\a.rom", "a.rom"},
        {"1:a.rom", false, false, "1:a.rom", "1:a.rom"},
        {"", false, false, "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(IsAbsolutePath(row.path), test::kWindows ? row.absoluteWindows : row.absolutePosix);
        EXPECT_EQ(BareFileName(row.path), test::kWindows ? row.bareWindows : row.barePosix);
    }
}

TEST(PathLookup, RelativePicksAreTakenFromTheWorkingDirectory) {
    const struct {
        std::string workingDir, chosen, posix, windows;
    } rows[] = {
        {"/work", "a.rom", "/work/a.rom", "/work/a.rom"},
        {"/work/", "a.rom", "/work/a.rom", "/work/a.rom"},
        {"/work", "/other/a.rom", "/other/a.rom", "/other/a.rom"},
        {"C:\\work", "a.rom", "C:\\work/a.rom", "C:\\work/a.rom"},
        {"C:\\work\\", "a.rom", "C:\\work\\/a.rom", "C:\\work\\a.rom"},
        {"C:\\work", "D:\\roms\\a.rom", "C:\\work/D:\\roms\\a.rom", "D:\\roms\\a.rom"},
        {"C:\\work", "d:/roms/a.rom", "C:\\work/d:/roms/a.rom", "d:/roms/a.rom"},
        {"C:\\work", "\\\\server\\roms\\a.rom", "C:\\work/\\\\server\\roms\\a.rom", "\\\\server\\roms\\a.rom"},
        {"", "a.rom", "a.rom", "a.rom"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.workingDir + " | " + row.chosen);
        EXPECT_EQ(ResolveChosenPath(row.workingDir, row.chosen), test::kWindows ? row.windows : row.posix);
    }
}

TEST(PathLookup, FilesAreFoundWhateverTheCaseOfTheirAsciiLetters) {
    test::TempDir dir;
    const std::string folder = "Gr\xc3\xb6\xc3\x9f" "e";  // "Größe", UTF-8
    std::filesystem::create_directories(FsPath(dir.file(folder + "/Fw")));
    std::ofstream(FsPath(dir.file(folder + "/Fw/Writer.bin")), std::ios::binary) << "firmware";
    const struct {
        std::string asked;
        bool found;
    } rows[] = {
        {folder + "/Fw/Writer.bin", true},
        {"GR\xc3\xb6\xc3\x9f" "E/FW/WRITER.BIN", true},
        {"gr\xc3\xb6\xc3\x9f" "e/fw/writer.bin", true},
        {folder + "/Fw/Other.bin", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.asked);
        const std::string path = FindCaseInsensitive(dir.file(row.asked));
        std::string content, error;
        EXPECT_EQ(ReadRegularFile(path, 64, content, error), row.found) << path << ": " << error;
        if (row.found) {
            EXPECT_EQ(content, "firmware");
        }
        // Where names differ in case, the lookup gives the name the file system holds.
        if (!test::kWindows && row.found) {
            EXPECT_EQ(path, dir.file(folder + "/Fw/Writer.bin"));
        }
    }
    // The working directory's name comes back as the program holds names.
    EXPECT_EQ(PathName(FsPath(dir.file(folder))), dir.file(folder));
}
