// The .rom reader on arbitrary bytes: the BODY search, then every header and
// data line as Load ROM File reads them, with the dumps and sums it makes.
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
        otp::DumpValues(v_, s_.RomImage.data(), s_.ObjectLength, s_.RowWidth, s_.ValueDigits, firstAddress & 0xFFFF, 0);
        otp::ObjectChecksum(s_, s_.ObjectLength);
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
    view.ClearPane(otp::Control::RichEdit1);
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
    if (events.sections &&
        otp::FormatRomFile(*state, "RX4400", events.lastAddress, "BODY RX4400\n").find("CHECKSUM ") == std::string::npos)
        std::abort();
    return 0;
}
