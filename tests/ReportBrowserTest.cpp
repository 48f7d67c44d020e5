// The report's page in a real browser: headless chromium loads it and dumps
// the document it built, which must hold each chart with a bar per figure
// and none of the markup a log's text carried.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "ReportLogs.h"

using namespace otp;

namespace {

// The browser on the PATH; empty when there is none.
std::string FindChromium() {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        for (const char* name : {"chromium", "chromium-browser"}) {
            const std::string program = folder + "/" + name;
            if (access(program.c_str(), X_OK) == 0) return program;
        }
    return {};
}

// The document chromium builds of `file`, with a profile of its own in
// `profile`; a minute at most, even on a loaded machine.
std::string DumpDom(const std::string& chromium, const std::string& file, const std::string& profile) {
    const std::string command = "timeout -k 5 60 '" + chromium +
                                "' --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir='" + profile +
                                "' --dump-dom 'file://" + file + "' 2>/dev/null";
    std::string dom;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return dom;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) dom.append(buf, n);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command << " ended with status " << status;
    return dom;
}

// The chart `id` as the document holds it; empty when it holds none.
std::string Chart(const std::string& dom, const std::string& id) {
    const size_t start = dom.find("<svg id=\"" + id + "\"");
    if (start == std::string::npos) return {};
    const size_t end = dom.find("</svg>", start);
    return dom.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

size_t Count(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

class ReportBrowserTest : public test::ReportFixture {};

}  // namespace

TEST_F(ReportBrowserTest, ChromiumShowsEachChartWithItsBars) {
    if (const char* no = std::getenv("OTP_NO_BROWSER"); no && std::string(no) == "1")
        GTEST_SKIP() << "OTP_NO_BROWSER=1: the page is not shown to a browser";
    const std::string chromium = FindChromium();
    ASSERT_FALSE(chromium.empty()) << "chromium is not installed: run scripts/setup, which installs it "
                                      "(or set OTP_NO_BROWSER=1 to leave this test out)";
    const std::string header = test::kHeaderOnly;
    dir.Write("today.csv", test::kTodaysLog);
    dir.Write("old.csv", test::kOldLog);
    dir.Write("markup.csv", header + "2026-12-08T10:05:00+01:00,auto,<script>document.title='x'</script>,,,,pass,,"
                                     "512,1,pc 2026,fast,<img src=x>,,\n");
    dir.Write("empty.csv", header);
    const struct {
        std::vector<std::string> sources;
        // The bars of each chart: hours with a yield (of 4 hours, one has
        // refused chips only); a part per verdict a writer had; a cause each.
        size_t yieldBars, writerBars, causeBars;
        std::string shown;  // text the page must hold
    } rows[] = {
        {{"today.csv", "old.csv", "markup.csv"}, 3, 9, 3, "&lt;script&gt;document.title='x'&lt;/script&gt;"},
        {{"empty.csv"}, 0, 0, 0, "No chips."},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{"report", "--html", "page.html"};
        args.insert(args.end(), row.sources.begin(), row.sources.end());
        ASSERT_EQ(Run(args), 0) << err.str();
        const std::string dom = DumpDom(chromium, dir.file("page.html"), dir.file("profile"));
        ASSERT_NE(dom.find("<h1>Production report</h1>"), std::string::npos) << dom;
        EXPECT_NE(dom.find(row.shown), std::string::npos) << row.shown;
        // Nothing from a log became an element.
        EXPECT_EQ(dom.find("<script"), std::string::npos);
        EXPECT_EQ(dom.find("<img"), std::string::npos);
        EXPECT_NE(dom.find("<title>Production report</title>"), std::string::npos);
        const struct {
            const char* id;
            const char* title;
            size_t bars;
        } charts[] = {{"yield-per-hour", "Yield per hour", row.yieldBars},
                      {"chips-per-writer", "Chips per writer", row.writerBars},
                      {"failures-by-cause", "Failures by cause", row.causeBars}};
        for (const auto& chart : charts) {
            const std::string svg = Chart(dom, chart.id);
            ASSERT_FALSE(svg.empty()) << chart.id << " is not in the document:\n" << dom;
            EXPECT_NE(svg.find(std::string(">") + chart.title + "</title>"), std::string::npos) << chart.id;
            EXPECT_EQ(Count(svg, "<rect class=\"bar "), chart.bars) << chart.id << "\n" << svg;
            if (chart.bars == 0) { EXPECT_NE(svg.find(">no chips</text>"), std::string::npos) << svg; }
        }
    }
}
