// The manual's links: every relative link and image of README.md and of the
// pages in docs/ leads to a file of the tree, and a link's #anchor to a
// heading of the Markdown file it names, by the anchor GitHub gives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool StartsWith(const std::string& s, const std::string& head) { return s.compare(0, head.size(), head) == 0; }

std::string Trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// `[text](target)` as its text, as a heading shows it.
std::string WithoutLinkTargets(std::string s) {
    for (auto open = s.find("]("); open != std::string::npos; open = s.find("](", open)) {
        const auto close = s.find(')', open);
        if (close == std::string::npos) break;
        s.erase(open + 1, close - open);
    }
    s.erase(std::remove(s.begin(), s.end(), '['), s.end());
    s.erase(std::remove(s.begin(), s.end(), ']'), s.end());
    return s;
}

// GitHub's anchor of a heading: lowercase, each blank a '-', punctuation but
// '-' and '_' dropped; letters outside ASCII are kept as they are.
std::string Anchor(const std::string& heading) {
    std::string anchor;
    for (const unsigned char c : Trimmed(WithoutLinkTargets(heading))) {
        if (c >= 0x80 || std::isalnum(c) || c == '-' || c == '_') anchor += static_cast<char>(c < 0x80 ? std::tolower(c) : c);
        else if (c == ' ') anchor += '-';
    }
    return anchor;
}

// The lines of a Markdown file with its code blocks blanked out: fenced
// ones, and indented ones (begun after a blank line).
std::vector<std::string> NonCodeLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string fence;
    bool previousBlank = true, indented = false;
    for (const std::string& line : Lines(text)) {
        const std::string trimmed = Trimmed(line);
        if (!fence.empty()) {
            if (StartsWith(trimmed, fence)) fence.clear();
            lines.emplace_back();
            continue;
        }
        if (StartsWith(trimmed, "```") || StartsWith(trimmed, "~~~")) {
            fence = trimmed.substr(0, 3);
            lines.emplace_back();
            continue;
        }
        indented = (previousBlank || indented) && (StartsWith(line, "    ") || StartsWith(line, "\t"));
        previousBlank = trimmed.empty();
        lines.push_back(indented ? std::string() : line);
    }
    return lines;
}

// A line without its code spans: a run of backticks up to the next run of
// as many; a run that none closes is text.
std::string WithoutCodeSpans(const std::string& line) {
    const auto runAt = [&line](size_t at) {
        const auto end = line.find_first_not_of('`', at);
        return (end == std::string::npos ? line.size() : end) - at;
    };
    std::string out;
    for (size_t i = 0; i < line.size();) {
        if (line[i] != '`') {
            out += line[i++];
            continue;
        }
        const size_t run = runAt(i);
        size_t close = line.find('`', i + run);
        while (close != std::string::npos && runAt(close) != run) close = line.find('`', close + runAt(close));
        if (close == std::string::npos) {
            out.append(run, '`');
            i += run;
        } else {
            i = close + run;
        }
    }
    return out;
}

// The anchors of a Markdown file's headings; a heading met again gets
// "-1", "-2" ... as on GitHub.
std::set<std::string> Anchors(const std::string& text) {
    std::set<std::string> anchors;
    std::map<std::string, int> seen;
    for (const std::string& line : NonCodeLines(text)) {
        const auto hashes = line.find_first_not_of('#');
        if (hashes == 0 || hashes == std::string::npos || hashes > 6 || (line[hashes] != ' ' && line[hashes] != '\t'))
            continue;
        std::string heading = Trimmed(line.substr(hashes));
        const auto closing = heading.find_last_not_of('#');  // a closing run of '#' after a blank
        if (closing != std::string::npos && closing + 1 < heading.size() && (heading[closing] == ' ' || heading[closing] == '\t'))
            heading.erase(closing);
        const std::string anchor = Anchor(heading);
        const int n = seen[anchor]++;
        anchors.insert(n == 0 ? anchor : anchor + "-" + std::to_string(n));
    }
    return anchors;
}

// The targets of a file's inline links and images, `](target)`, and of its
// link definitions, `[name]: target`.
std::vector<std::string> LinkTargets(const std::string& text) {
    std::vector<std::string> targets;
    for (const std::string& codeAndText : NonCodeLines(text)) {
        const std::string line = WithoutCodeSpans(codeAndText);
        const std::string trimmed = Trimmed(line);
        if (StartsWith(trimmed, "[") && trimmed.find("]:") != std::string::npos && trimmed.find("]:") < trimmed.find("](")) {
            std::istringstream rest(trimmed.substr(trimmed.find("]:") + 2));
            std::string target;
            if (rest >> target) targets.push_back(target);
            continue;
        }
        for (auto at = line.find("]("); at != std::string::npos; at = line.find("](", at + 2)) {
            const auto close = line.find(')', at);
            if (close == std::string::npos) break;
            std::string target = Trimmed(line.substr(at + 2, close - at - 2));
            target = target.substr(0, target.find_first_of(" \t"));  // a title after the target
            if (target.size() >= 2 && target.front() == '<' && target.back() == '>') target = target.substr(1, target.size() - 2);
            targets.push_back(target);
        }
    }
    return targets;
}

bool HasScheme(const std::string& target) {
    const auto colon = target.find(':');
    if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(target[0]))) return false;
    return std::all_of(target.begin(), target.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
}

std::string PercentDecoded(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The links of `file` that lead nowhere: a file that is not there, or an
// anchor that no heading of the Markdown file it names gives. `root` is
// where a link starting with '/' starts.
std::vector<std::string> BrokenLinks(const fs::path& file, const fs::path& root) {
    std::vector<std::string> broken;
    for (const std::string& target : LinkTargets(ReadText(file))) {
        if (target.empty() || HasScheme(target)) continue;
        const auto hash = target.find('#');
        const std::string path = PercentDecoded(target.substr(0, hash));
        const fs::path resolved = path.empty() ? file
                                  : path[0] == '/' ? root / fs::path(path.substr(1))
                                                   : file.parent_path() / fs::path(path);
        std::error_code ec;
        if (!fs::exists(resolved, ec)) {
            broken.push_back(target + " (no such file)");
            continue;
        }
        if (hash == std::string::npos) continue;
        std::string extension = resolved.extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (extension != ".md") continue;
        if (Anchors(ReadText(resolved)).count(PercentDecoded(target.substr(hash + 1))) == 0)
            broken.push_back(target + " (no such heading)");
    }
    return broken;
}

std::string Listed(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += "\n  " + item;
    return out;
}

TEST(DocsLinks, AnchorsAreNamedAsGitHubNamesThem) {
    struct Row {
        std::string headings;
        std::set<std::string> anchors;
    };
    const std::vector<Row> rows = {
        {"# The console front end\n", {"the-console-front-end"}},
        {"### ROM files\n", {"rom-files"}},
        {"## Several writers (a station)\n", {"several-writers-a-station"}},
        {"## The line's record\n", {"the-lines-record"}},
        {"## One rolling code, one chip, across the line\n", {"one-rolling-code-one-chip-across-the-line"}},
        {"## `otpwriter-cli report` & its page\n", {"otpwriter-cli-report--its-page"}},
        {"## Set-up_notes 2 ##\n", {"set-up_notes-2"}},
        {"## See [the log](production.md)\n", {"see-the-log"}},
        {"## Station\n\n### Station\n", {"station", "station-1"}},
        {"#No heading\n```\n# In a fence\n```\n\n    # Indented code\n", {}},
    };
    for (const Row& row : rows) EXPECT_EQ(Anchors(row.headings), row.anchors) << row.headings;
}

TEST(DocsLinks, BrokenLinksAreFound) {
    struct Row {
        std::string text;  // of docs/probe.md, beside docs/page.md and images/
        std::vector<std::string> broken;
    };
    const std::vector<Row> rows = {
        {"[a page](page.md)\n", {}},
        {"[gone](nowhere.md)\n", {"nowhere.md (no such file)"}},
        {"![a picture](images/shot.png)\n", {}},
        {"![no picture](images/none.png)\n", {"images/none.png (no such file)"}},
        {"[a heading](page.md#the-log-and-its-columns)\n", {}},
        {"[no heading](page.md#the-log)\n", {"page.md#the-log (no such heading)"}},
        {"# Probe here\n\n[this page](#probe-here) [nothing](#probe)\n", {"#probe (no such heading)"}},
        {"[up](../README.md) [root](/README.md) [root's](/docs/page.md#the-log-and-its-columns)\n", {}},
        {"[![a picture](images/none.png)](nowhere.md \"title\")\n",
         {"images/none.png (no such file)", "nowhere.md (no such file)"}},
        {"[spaced](<page%20two.md>)\n", {}},
        {"[name]: nowhere.md\n", {"nowhere.md (no such file)"}},
        {"[web](https://example.com/nowhere.md) [mail](mailto:someone@example.com)\n", {}},
        {"`[code](nowhere.md)` and ``a `[code](nowhere.md)` span``\n", {}},
        {"```\n[code](nowhere.md)\n```\n\n    [code](nowhere.md)\n", {}},
        {"[anchor of a file no page](images/shot.png#top)\n", {}},
    };
    otp::test::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path root = fs::u8path(dir.path());
    fs::create_directories(root / "docs" / "images");
    dir.Write("README.md", "# Top\n");
    dir.Write("docs/page.md", "# Page\n\n## The log and its columns\n");
    dir.Write("docs/page two.md", "# Page two\n");
    dir.Write("docs/images/shot.png", "png");
    for (const Row& row : rows) {
        dir.Write("docs/probe.md", row.text);
        EXPECT_EQ(BrokenLinks(root / "docs" / "probe.md", root), row.broken) << row.text;
    }
}

TEST(DocsLinks, EveryLinkOfTheManualLeadsSomewhere) {
    const fs::path source = fs::u8path(otp::test::SourcePath(""));
    std::vector<fs::path> files = {source / "README.md"};
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(source / "docs", ec))
        if (entry.path().extension() == ".md") files.push_back(entry.path());
    ASSERT_FALSE(ec) << ec.message();
    std::sort(files.begin() + 1, files.end());
    ASSERT_GT(files.size(), 1u);

    size_t links = 0;
    for (const fs::path& file : files) {
        ASSERT_TRUE(fs::exists(file)) << file.generic_string();
        links += LinkTargets(ReadText(file)).size();
        const std::vector<std::string> broken = BrokenLinks(file, source);
        EXPECT_TRUE(broken.empty()) << file.generic_string() << " links where nothing is:" << Listed(broken);
    }
    EXPECT_GT(links, files.size()) << "the manual's pages link to each other";
}

}  // namespace
