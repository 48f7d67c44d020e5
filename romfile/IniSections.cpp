#include "romfile/IniSections.h"

#include "config/IniText.h"

namespace otp {
namespace {

// The option bytes a rule can test: those sent to and read from the writer.
constexpr int kRuleOptionBytes = 16;

std::string TrimBoth(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 0x20) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20) --e;
    return text.substr(b, e - b);
}

bool RuleHolds(const IniFields& f, const WriterState& s) {
    const int32_t index = ParseNumber(f.KeyField, 16);
    const int32_t mask = ParseNumber(f.ValueField, 16);
    const int32_t want = ParseNumber(f.ThirdField, 16);
    if (index < 0 || index >= kRuleOptionBytes) return false;
    return (s.OptionBytes[static_cast<size_t>(index)] & mask) == want;
}

}  // namespace

IniBodyMatch FindIniBody(TextLines& ini, const std::string& name) {
    IniBodyMatch m;
    while (auto line = ini.Next()) {
        const IniFields f = SplitIniLine(*line, 0xFF);
        if (f.KeyField != "BODY") continue;
        if (f.ValueField == name || f.ThirdField == name || f.FourthField == name) {
            m.found = true;
            return m;
        }
        ++m.position;
    }
    return m;
}

std::string CopyOptionBlock(TextLines& ini, const std::string& bodyName, const WriterState& s) {
    bool bodyFound = false;
    while (!bodyFound) {
        auto line = ini.Next();
        if (!line) return {};
        bodyFound = SplitIniLine(*line, 0xFF).ValueField == bodyName;
    }
    bool sectionFound = false;
    while (!sectionFound) {
        auto line = ini.Next();
        if (!line) return {};
        sectionFound = SplitIniLine(*line, 0xFF).KeyField == "OPT";
    }
    std::string block;
    bool copying = true;
    while (auto line = ini.Next()) {
        // Comments cut and the left end trimmed; the text keeps its case and
        // its line end.
        const IniFields f = SplitIniLine(*line, 0xEE);
        if (f.FourthField.find("OPTION END") != std::string::npos) {
            block += f.FourthField;
            break;
        }
        const bool holds = RuleHolds(f, s);
        if (TrimBoth(f.FourthField) == "if###disable") copying = !holds;
        else if (holds && copying) block += f.FourthField;
    }
    return block;
}

}  // namespace otp
