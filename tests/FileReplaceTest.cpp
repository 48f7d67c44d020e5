// Replacing a file: through symbolic links, with names of any legal length,
// and never harming the old file when it fails.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "TestSupport.h"
#include "romfile/FileReplace.h"

namespace fs = std::filesystem;
using namespace otp;

namespace {

const std::string kLongName = std::string(251, 'n') + ".rom";  // 255 bytes

void Old(const std::string& path) {
    std::ofstream(path, std::ios::binary) << "old";
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
void Link(const std::string& target, const std::string& path) { ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0); }

}  // namespace

TEST(FileReplaceTest, ReplacesTheFileALinkLeadsToAndLeavesNothingBehind) {
    const struct {
        const char* what;
        void (*make)(const std::string& d);
        std::string save;     // the path saved to
        std::string written;  // where the bytes land; empty: the save fails
        std::vector<std::string> links;  // stay symbolic links
    } rows[] = {
        {"plain file", [](const std::string& d) { Old(d + "/plain.rom"); }, "plain.rom", "plain.rom", {}},
        {"link to a file",
         [](const std::string& d) {
             Old(d + "/real.rom");
             Link("real.rom", d + "/link.rom");
         },
         "link.rom", "real.rom", {"link.rom"}},
        {"chain of links, each relative to its own folder",
         [](const std::string& d) {
             fs::create_directory(d + "/sub");
             Old(d + "/sub/end.rom");
             Link("sub/hop.rom", d + "/chain.rom");
             Link("end.rom", d + "/sub/hop.rom");
         },
         "chain.rom", "sub/end.rom", {"chain.rom", "sub/hop.rom"}},
        {"dangling link",
         [](const std::string& d) {
             fs::create_directory(d + "/sub");
             Link(d + "/sub/new.rom", d + "/dangling.rom");
         },
         "dangling.rom", "sub/new.rom", {"dangling.rom"}},
        {"255-byte name", [](const std::string&) {}, kLongName, kLongName, {}},
        {"read-only folder",
         [](const std::string& d) {
             fs::create_directory(d + "/ro");
             Old(d + "/ro/keep.rom");
             fs::permissions(d + "/ro", fs::perms::owner_read | fs::perms::owner_exec);
         },
         "ro/keep.rom", "", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.written.empty() && geteuid() == 0) continue;  // root writes anyway
        test::TempDir dir;
        row.make(dir.path());
        const bool existed = fs::exists(dir.file(row.save));
        std::string error;
        const bool ok = ReplaceFileContents(dir.file(row.save), "new\r\n", error);
        EXPECT_EQ(ok, !row.written.empty()) << error;
        const std::string target = row.written.empty() ? row.save : row.written;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.file(target))));
        EXPECT_EQ(dir.Read(target), ok ? "new\r\n" : "old");
        if (existed) {
            EXPECT_EQ(fs::status(dir.file(target)).permissions(),
                      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        }
        for (const std::string& link : row.links) EXPECT_TRUE(fs::is_symlink(dir.file(link))) << link;
        for (const auto& e : fs::recursive_directory_iterator(dir.path()))
            EXPECT_NE(e.path().filename().string()[0], '.') << e.path();  // no temporary file
        std::error_code ec;  // lets the folder be removed
        fs::permissions(dir.path() + "/ro", fs::perms::owner_all, fs::perm_options::replace, ec);
    }
}
