#pragma once
// The file dialogs' filter is written as "description|patterns|description|
// patterns...", patterns separated by ";". Qt wants one "description
// (patterns)" entry per choice, patterns separated by blanks.
#include <QStringList>

#include <string>

namespace otp {

// The filter of both ROM file dialogs.
inline constexpr const char* kRomFileFilter = "rom file (.rom)|*.rom|all file (*.*)|*.*";
// Their default extension, without the dot.
inline constexpr const char* kRomDefaultSuffix = "rom";

// One Qt name filter per choice, in order. "*.*" stands for every file and
// becomes "*". A trailing description without patterns is dropped.
QStringList QtNameFilters(const std::string& filter);

}  // namespace otp
