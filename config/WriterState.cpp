#include "config/WriterState.h"

#include <algorithm>
#include <numeric>

namespace otp {

HeldImage HeldImage::Of(const WriterState& s) {
    return {s.BodyInfo[0], s.OptionBytes,   s.RomImage,         s.ObjectLength,
            s.ValueDigits, s.RowWidth,      s.OptionChecksum,   s.ObjectChecksum};
}

void HeldImage::RestoreInto(WriterState& s) const {
    s.BodyInfo[0] = body;
    s.OptionBytes = options;
    s.RomImage = image;
    s.ObjectLength = objectLength;
    s.ValueDigits = valueDigits;
    s.RowWidth = rowWidth;
    s.OptionChecksum = optionChecksum;
    s.ObjectChecksum = objectChecksum;
}

void OptionChecksum(WriterState& s, int n) {
    n = std::clamp(n, 0, kOptionByteCount);
    int sum = 0;
    for (int i = 0; i < n; ++i) sum = (sum + s.OptionBytes[static_cast<size_t>(i)]) % 0x10000;
    s.OptionChecksum = sum;
}

void ObjectChecksum(WriterState& s, int n) {
    n = std::clamp(n, 0, kRomImageSize);
    // Sums of 32 bits wrap at a multiple of 0x10000: one cut at the end
    // gives what a cut after every value would.
    const uint32_t sum = std::accumulate(s.RomImage.begin(), s.RomImage.begin() + n, 0u,
                                         [](uint32_t a, int32_t v) { return a + static_cast<uint32_t>(v); });
    s.ObjectChecksum = static_cast<int>(sum % 0x10000);
}

int TotalChecksum(const WriterState& s) { return (s.ObjectChecksum + s.OptionChecksum) % 0x10000; }

bool IsByteMode(const BodyInfoRow& row) { return (row[kBodyFlagsByte] & kFlagByteMode) != 0; }

void SetLayout(WriterState& s, bool byteMode) {
    s.ValueDigits = byteMode ? 2 : 4;
    s.RowWidth = byteMode ? 16 : 8;
}

void SetLayoutFromBodyInfo(WriterState& s) { SetLayout(s, IsByteMode(s.BodyInfo[0])); }

void TakeBodyRow(WriterState& s, int body) {
    if (body < 0 || body >= kMaxBodies) return;
    const BodyInfoRow& row = s.BodyInfo[static_cast<size_t>(body + 1)];
    std::copy_n(row.begin(), kBodyInfoWireBytes, s.BodyInfo[0].begin());
}

int BodyObjectLength(const BodyInfoRow& row) { return row[kBodyLengthByte] + 256 * row[kBodyLengthByte + 1]; }

std::array<BodyWait, 4> BodyWaits(const WriterState& s, int body) {
    const auto b = static_cast<size_t>(body);
    return {{{"BNK_DLY", s.BNK_DLY[b]}, {"PRG_DLY", s.PRG_DLY[b]}, {"VER_DLY", s.VER_DLY[b]}, {"CPY_DLY", s.CPY_DLY[b]}}};
}

bool WaitAllowed(int32_t ticks) { return ticks >= 0 && static_cast<uint32_t>(ticks) <= kMaxBodyWaitTicks; }

bool BodyAvailable(const WriterState& s, int body) {
    if (body < 0 || body >= kMaxBodies || BodyObjectLength(s.BodyInfo[static_cast<size_t>(body + 1)]) == 0) return false;
    for (const BodyWait& wait : BodyWaits(s, body))
        if (!WaitAllowed(wait.ticks)) return false;
    return true;
}

bool SameImageShape(const BodyInfoRow& a, const BodyInfoRow& b) {
    return IsByteMode(a) == IsByteMode(b) && BodyObjectLength(a) == BodyObjectLength(b);
}

int BodyImageCount(const WriterState& s) { return std::min(BodyObjectLength(s.BodyInfo[0]), kRomImageSize); }

int BodyBank(const BodyInfoRow& row) { return row[kBodyBankByte] >> kBankShift; }

void SetBodyBank(BodyInfoRow& row, int bank) {
    row[kBodyBankByte] = static_cast<uint8_t>((bank << kBankShift) | (row[kBodyBankByte] & kBelowBank));
}

}  // namespace otp
