// Reading files that must be regular files: what is refused, and why.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "config/FileRead.h"
#include "config/TextLines.h"

using namespace otp;

namespace {
const std::string kUtf8Name = "\xc3\xa4pfel-\xe6\x97\xa5.ini";  // UTF-8
}  // namespace

TEST(FileReadTest, OnlyRegularFilesWithinTheLimitAreRead) {
    test::TempDir dir;
    const struct {
        const char* what;
        std::string path;
        size_t headBytes;  // 0: the whole file, within the text limit
        bool ok;
        std::string result;  // the content, or the reason
    } rows[] = {
        {"good", dir.file("good.ini"), 0, true, "A\r\nB"},
        {"head", dir.file("good.ini"), 2, true, "A\r"},
        {"head beyond the end", dir.file("good.ini"), 100, true, "A\r\nB"},
        {"name outside ASCII", dir.file(kUtf8Name), 0, true, "A\r\nB"},
        {"folders split by \\ on Windows", test::kWindows ? dir.path() + "\\good.ini" : dir.file("good.ini"), 0, true,
         "A\r\nB"},
        {"missing", dir.file("none.ini"), 0, false, "No such file or directory"},
        {"folder", dir.file("folder"), 0, false, "is a folder"},
        {"fifo", dir.file("fifo"), 0, false, "is not a regular file"},
        {"fifo head", dir.file("fifo"), 16, false, "is not a regular file"},
        {"character device", test::kCharacterDevice, 0, false, "is not a regular file"},
        {"unreadable", dir.file("secret.ini"), 0, false, "Permission denied"},
        {"too large", dir.file("huge.ini"), 0, false, "is too large"},
    };
    dir.Write("good.ini", "A\r\nB");
    std::ofstream(std::filesystem::u8path(dir.file(kUtf8Name)), std::ios::binary) << "A\r\nB";
    std::filesystem::create_directory(dir.file("folder"));
    const bool fifo = test::MakeFifo(dir.file("fifo"));
    ASSERT_TRUE(fifo || test::kWindows);
    dir.Write("secret.ini", "hidden");
    // (On Windows it would only be read-only, and stay behind with its folder.)
    if (!test::kWindows) std::filesystem::permissions(dir.file("secret.ini"), std::filesystem::perms::none);
    dir.Write("huge.ini", "");
    std::filesystem::resize_file(dir.file("huge.ini"), kMaxTextFileBytes + 1);  // sparse

    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.path == dir.file("secret.ini") && !test::PermissionsKeepUsOut()) continue;  // read anyway
        if (row.path == dir.file("fifo") && !fifo) continue;  // Windows has none
        std::string content = "stale", error;
        const bool ok = row.headBytes > 0 ? ReadRegularFileHead(row.path, row.headBytes, content, error)
                                          : ReadRegularFile(row.path, kMaxTextFileBytes, content, error);
        EXPECT_EQ(ok, row.ok);
        EXPECT_EQ(ok ? content : error, row.result);
        if (row.headBytes > 0) continue;
        std::string why;
        const auto lines = TextLines::Open(row.path, why);
        ASSERT_EQ(lines.has_value(), row.ok);
        if (!row.ok) {
            EXPECT_EQ(why, row.result);
        }
    }
}
