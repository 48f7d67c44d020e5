#include "romfile/RomDamage.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "romfile/RomFormat.h"
#include "view/HexText.h"

namespace otp {
namespace {

class DamageFinder : public RomSectionEvents {
public:
    explicit DamageFinder(WriterState& scratch) : s_(scratch) {}

    void SectionRead(int32_t, const DataSection& section) override {
        ++sections;
        if (!section.closed) {
            findings.push_back("the data section ends without its CHECKSUM line");
            return;
        }
        ObjectChecksum(s_, s_.ObjectLength);
        if (section.checksum && *section.checksum != s_.ObjectChecksum)
            findings.push_back("CHECKSUM " + FormatHex(*section.checksum, 4) + " but the data sum to " +
                               FormatHex(s_.ObjectChecksum, 4));
    }

    void OptionSumRead(int32_t sum) override { optionSum = sum; }

    std::vector<std::string> findings;
    int sections = 0;
    std::optional<int32_t> optionSum;

private:
    WriterState& s_;
};

class LengthFinder : public RomSectionEvents {
public:
    explicit LengthFinder(const WriterState& scratch) : s_(scratch) {}
    void SectionRead(int32_t, const DataSection&) override { largest = std::max(largest, s_.ObjectLength); }
    int largest = 0;

private:
    const WriterState& s_;
};

// A state to read sections into, holding the image parts of `s`: those a
// reading uses and changes. The whole state is large, so each thread keeps
// one and only those parts are copied. On Windows each reading makes its own
// (`own`): mingw-w64's static runtime crashed when a station's writer thread
// that held such a thread_local object ended.
WriterState& ScratchFor(const WriterState& s, std::unique_ptr<WriterState>& own) {
#ifdef _WIN32
    own = std::make_unique<WriterState>();
    WriterState* scratch = own.get();
#else
    (void)own;
    thread_local const auto scratch = std::make_unique<WriterState>();
#endif
    HeldImage::Of(s).RestoreInto(*scratch);
    return *scratch;
}

}  // namespace

int RomFileLargestLength(TextLines rest, const WriterState& s) {
    std::unique_ptr<WriterState> own;
    WriterState& scratch = ScratchFor(s, own);
    LengthFinder finder(scratch);
    ReadRomSections(rest, scratch, finder);
    return finder.largest;
}

std::string RomFileDamage(TextLines rest, const WriterState& s) {
    std::unique_ptr<WriterState> own;
    WriterState& scratch = ScratchFor(s, own);
    DamageFinder finder(scratch);
    // A LENGTH beyond the image is refused by the load itself, with its own notice.
    if (!ReadRomSections(rest, scratch, finder)) return {};
    if (finder.sections == 0) finder.findings.insert(finder.findings.begin(), "no LENGTH line");
    if (finder.optionSum) {
        OptionChecksum(scratch, 8);
        if (*finder.optionSum != scratch.OptionChecksum)
            finder.findings.push_back("MORVIK_SUM " + FormatHex(*finder.optionSum, 4) + " but the option bytes sum to " +
                                      FormatHex(scratch.OptionChecksum, 4));
    }
    std::string text;
    for (const std::string& f : finder.findings) text += (text.empty() ? "" : "; ") + f;
    return text;
}

}  // namespace otp
