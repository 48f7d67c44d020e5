#pragma once
// The body, lock, rolling-code and bank selectors: each change edits
// BodyInfo row 0, sends it to the writer and shows what the writer now holds.
// Each reads the selector's item index as the operator left it. The body,
// lock and rolling-code changes do not judge the writer; they are Failed
// only when its read-back came back short.
#include "link/Context.h"
#include "link/Outcome.h"

namespace otp {

// ComboBox1, the IC body. Refused with "The body is not available !!!"
// when the index is not one of the configured bodies.
Outcome ComboBox1Change(Context& ctx);
// ComboBox4, lock OFF (0) / ON.
Outcome ComboBox4Change(Context& ctx);
// ComboBox3, rolling code OFF (0) / ON.
Outcome ComboBox3Change(Context& ctx);
// ComboBox5, a bank number, or a search for the last used or the first
// unused bank. Failed on the search-error lines.
Outcome ComboBox5Change(Context& ctx);
// The body, lock and rolling-code changes do not judge the writer; they
// are Failed only when its read-back came back short.

// Whether item `index` of the bank selector is a search entry rather than a
// bank number, for a body with two banks or eight.
bool IsBankSearch(int index, bool twoBanks);
// Whether a search entry is "Last used" (else "1st Un-use").
bool IsLastUsedSearch(int index, bool twoBanks);

}  // namespace otp
