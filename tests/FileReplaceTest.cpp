// Replacing a file: through symbolic links, with names of any legal length,
// and never harming the old file when it fails.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "config/PathLookup.h"
#include "romfile/FileReplace.h"

namespace fs = std::filesystem;
using namespace otp;

namespace {

const std::string kLongName = std::string(251, 'n') + ".rom";  // 255 bytes
const std::string kUtf8Name = "\xc3\xa4pfel-\xe6\x97\xa5.rom";  // UTF-8

void Old(const std::string& path) {
    std::ofstream(FsPath(path), std::ios::binary) << "old";
    fs::permissions(FsPath(path), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
void Link(const std::string& target, const std::string& path) { fs::create_symlink(target, path); }

}  // namespace

TEST(FileReplaceTest, ReplacesTheFileALinkLeadsToAndLeavesNothingBehind) {
    const struct {
        const char* what;
        void (*make)(const std::string& d);
        std::string save;     // the path saved to
        std::string written;  // where the bytes land; empty: the save fails
        std::vector<std::string> links;  // stay symbolic links
        bool posixOnly;  // symbolic links and folder permissions: not on Windows
    } rows[] = {
        {"plain file", [](const std::string& d) { Old(d + "/plain.rom"); }, "plain.rom", "plain.rom", {}, false},
        {"name outside ASCII", [](const std::string& d) { Old(d + "/" + kUtf8Name); }, kUtf8Name, kUtf8Name, {}, false},
        // Windows: a file in the folder sub; elsewhere one name with a "\" in it.
        {"folders split by \\",
         [](const std::string& d) {
             fs::create_directory(d + "/sub");
             Old(d + "/sub/split.rom");
         },
         "sub\\split.rom", "sub\\split.rom", {}, false},
        {"link to a file",
         [](const std::string& d) {
             Old(d + "/real.rom");
             Link("real.rom", d + "/link.rom");
         },
         "link.rom", "real.rom", {"link.rom"}, true},
        {"chain of links, each relative to its own folder",
         [](const std::string& d) {
             fs::create_directory(d + "/sub");
             Old(d + "/sub/end.rom");
             Link("sub/hop.rom", d + "/chain.rom");
             Link("end.rom", d + "/sub/hop.rom");
         },
         "chain.rom", "sub/end.rom", {"chain.rom", "sub/hop.rom"}, true},
        {"dangling link",
         [](const std::string& d) {
             fs::create_directory(d + "/sub");
             Link(d + "/sub/new.rom", d + "/dangling.rom");
         },
         "dangling.rom", "sub/new.rom", {"dangling.rom"}, true},
        {"255-byte name", [](const std::string&) {}, kLongName, kLongName, {}, false},
        {"read-only folder",
         [](const std::string& d) {
             fs::create_directory(d + "/ro");
             Old(d + "/ro/keep.rom");
             fs::permissions(d + "/ro", fs::perms::owner_read | fs::perms::owner_exec);
         },
         "ro/keep.rom", "", {}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.posixOnly && test::kWindows) continue;
        if (row.written.empty() && !test::PermissionsKeepUsOut()) continue;  // root writes anyway
        test::TempDir dir;
        row.make(dir.path());
        const bool existed = fs::exists(FsPath(dir.file(row.save)));
        std::string error;
        const bool ok = ReplaceFileContents(dir.file(row.save), "new\r\n", error);
        EXPECT_EQ(ok, !row.written.empty()) << error;
        const std::string target = row.written.empty() ? row.save : row.written;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(FsPath(dir.file(target)))));
        EXPECT_EQ(dir.Read(target), ok ? "new\r\n" : "old");
        if (existed && !test::kWindows) {  // Windows keeps no POSIX permissions
            EXPECT_EQ(fs::status(FsPath(dir.file(target))).permissions(),
                      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        }
        for (const std::string& link : row.links) EXPECT_TRUE(fs::is_symlink(dir.file(link))) << link;
        for (const auto& e : fs::recursive_directory_iterator(dir.path()))
            EXPECT_NE(e.path().filename().string()[0], '.') << e.path();  // no temporary file
        std::error_code ec;  // lets the folder be removed
        fs::permissions(dir.path() + "/ro", fs::perms::owner_all, fs::perm_options::replace, ec);
    }
}
