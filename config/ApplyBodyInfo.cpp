#include "config/ApplyBodyInfo.h"

namespace otp {

std::vector<std::string> BankItems(bool twoBanks) {
    std::vector<std::string> items;
    const int banks = twoBanks ? 2 : 8;
    for (int i = 0; i < banks; ++i) items.push_back("Bank " + std::to_string(i));
    items.push_back("Last used");
    items.push_back("1st Un-use");
    return items;
}

void ApplyBodyInfo(WriterState& state, MainView& view) {
    const BodyInfoRow& b = state.BodyInfo[0];
    const uint8_t flags = b[kBodyFlagsByte];
    const uint8_t caps = b[kBodyCapsByte];
    const int bank = BodyBank(b);

    view.SetSelection(Control::ComboBox1, b[1]);
    SetLayoutFromBodyInfo(state);

    const bool hasLock = caps & kCapLock;
    view.SetEnabled(Control::ComboBox4, hasLock);
    view.SetSelection(Control::ComboBox4, hasLock ? (flags & kFlagLockOn) != 0 : 0);

    const bool hasRolling = caps & kCapRolling;
    view.SetEnabled(Control::ComboBox3, hasRolling);
    view.SetSelection(Control::ComboBox3, hasRolling ? (flags & kFlagRollingOn) != 0 : 0);

    const bool twoBanks = caps & kCapTwoBanks;
    if (caps & kCapBanks) {
        view.ClearChoices(Control::ComboBox5);
        for (const std::string& item : BankItems(twoBanks)) view.AddChoice(Control::ComboBox5, item);
        view.SetEnabled(Control::ComboBox5, true);
        view.SetSelection(Control::ComboBox5, bank);
    } else {
        view.SetEnabled(Control::ComboBox5, false);
        view.SetSelection(Control::ComboBox5, twoBanks ? bank : 0);
    }
    if ((flags & kFlagBankOneByOption) && !(state.OptionBytes[0] & 0x08)) view.SetSelection(Control::ComboBox5, 1);

    const bool mtp = caps & kCapMtp;
    view.SetEnabled(Control::Button1, !mtp);
    view.SetEnabled(Control::Button2, !mtp);
    view.SetMenuVisible(Control::Testcode1, caps & kCapTestCode);
    view.SetMenuEnabled(Control::Write1, !mtp);
}

}  // namespace otp
