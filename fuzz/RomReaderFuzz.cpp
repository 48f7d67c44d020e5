// The .rom reader on arbitrary bytes: the BODY search, then every header and
// data line as Load ROM File reads them, with the dumps and sums it makes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "romfile/RomDamage.h"
#include "romfile/RomFormat.h"
#include "view/FormModel.h"
#include "view/HexText.h"

namespace {

class Events : public otp::RomSectionEvents {
public:
    Events(otp::WriterState& s, otp::MainView& v) : s_(s), v_(v) {}
    void OptionBytesTaken() override {
        otp::DumpValues(v_, s_.ReadBackBuffer.data(), 16, 16, 2, 0, 0);
    }
    void SectionRead(int32_t firstAddress, const otp::DataSection& section) override {
        if (s_.ObjectLength < 0 || s_.ObjectLength > otp::kRomImageSize) std::abort();
        if (section.stored < 0 || section.ignored < 0) std::abort();
        // The load dumps the whole section; the first rows take the same path
        // (the count is checked above), at a fraction of the cost.
        const int shown = std::min(s_.ObjectLength, 4 * std::max(s_.RowWidth, 1));
        otp::DumpValues(v_, s_.RomImage.data(), shown, s_.RowWidth, s_.ValueDigits, firstAddress & 0xFFFF, 0);
        lastAddress = firstAddress;
        sections = true;
    }
    int32_t lastAddress = 0;
    bool sections = false;

private:
    otp::WriterState& s_;
    otp::MainView& v_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto state = std::make_unique<otp::WriterState>();
    static otp::FormModel view;
    otp::TextLines in(std::string(reinterpret_cast<const char*>(data), size));
    if (!otp::FindRomBody(in)) return 0;
    // The look before the load must leave the state as it was.
    const auto options = state->OptionBytes;
    const int length = state->ObjectLength;
    otp::RomFileDamage(in, *state);
    if (state->OptionBytes != options || state->ObjectLength != length) std::abort();
    Events events(*state, view);
    otp::ReadRomSections(in, *state, events);
    // The file the state would be saved as must be writable too.
    if (events.sections) otp::ObjectChecksum(*state, state->ObjectLength);
    if (events.sections &&
        otp::FormatRomFile(*state, "RX4400", events.lastAddress, "BODY RX4400\n").find("CHECKSUM ") == std::string::npos)
        std::abort();
    // Nothing of this input stays allocated, or libFuzzer looks for a leak.
    view.ClearPane(otp::Control::RichEdit1);
    return 0;
}
