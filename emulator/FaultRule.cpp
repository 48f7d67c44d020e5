#include "emulator/FaultRule.h"

#include <cctype>
#include <optional>

namespace otp::emu {
namespace {

// What follows "=" for a kind.
enum class Args { None, Count, OptionalCount, Ms, CountMs };

struct KindRow {
    const char* name;
    FaultKind kind;
    Args args;
};

const KindRow kKinds[] = {
    {"silent", FaultKind::Silent, Args::None},       {"late", FaultKind::Late, Args::Ms},
    {"tail", FaultKind::Tail, Args::CountMs},        {"truncate", FaultKind::Truncate, Args::Count},
    {"extra", FaultKind::Extra, Args::Count},        {"flood", FaultKind::Flood, Args::Count},
    {"garbage", FaultKind::Garbage, Args::None},     {"corrupt", FaultKind::Corrupt, Args::Count},
    {"lose", FaultKind::Lose, Args::Count},          {"deaf", FaultKind::Deaf, Args::Ms},
    {"die", FaultKind::Die, Args::OptionalCount},    {"die-rx", FaultKind::DieRx, Args::Count},
};

const char* ArgsText(Args args) {
    switch (args) {
        case Args::Count: return "=N";
        case Args::Ms: return "=MS";
        case Args::CountMs: return "=K,MS";
        default: return "";
    }
}

std::string KindList() {
    std::string list;
    for (const KindRow& row : kKinds) list += std::string(list.empty() ? "" : ", ") + row.name;
    return list;
}

// Decimal digits only: a sign, a space or a suffix is a mistake, not a number.
std::optional<int64_t> ParseNumber(const std::string& text) {
    if (text.empty() || text.size() > 7) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > kFaultNumberMax) return std::nullopt;
    return value;
}

std::string NotANumber(const std::string& text) {
    return "\"" + text + "\" is not a number from 0 to " + std::to_string(kFaultNumberMax);
}

bool ParseTarget(const std::string& text, Fault& fault, std::string& error) {
    const size_t hash = text.find('#');
    const std::string letter = text.substr(0, hash);
    if (letter.size() != 1 || !(letter[0] == '*' || std::isalpha(static_cast<unsigned char>(letter[0])))) {
        error = "\"" + letter + "\" is not a command letter or *";
        return false;
    }
    fault.target = letter[0];
    fault.occurrence = 0;
    if (hash == std::string::npos) return true;
    const auto n = ParseNumber(text.substr(hash + 1));
    if (!n || *n < 1) {
        error = "the occurrence after # is a number from 1, not \"" + text.substr(hash + 1) + "\"";
        return false;
    }
    fault.occurrence = static_cast<int>(*n);
    return true;
}

bool ParseArgs(const KindRow& row, const std::string& value, bool hasValue, Fault& fault, std::string& error) {
    fault.count = 0;
    fault.ms = 0;
    if (!hasValue) {
        if (row.args == Args::None || row.args == Args::OptionalCount) return true;
        error = std::string(row.name) + " needs " + ArgsText(row.args);
        return false;
    }
    if (row.args == Args::None) {
        error = std::string(row.name) + " takes no value";
        return false;
    }
    std::string first = value;
    if (row.args == Args::CountMs) {
        const size_t comma = value.find(',');
        if (comma == std::string::npos) {
            error = std::string(row.name) + " needs " + ArgsText(row.args);
            return false;
        }
        first = value.substr(0, comma);
        const auto ms = ParseNumber(value.substr(comma + 1));
        if (!ms) {
            error = NotANumber(value.substr(comma + 1));
            return false;
        }
        fault.ms = *ms;
    }
    const auto n = ParseNumber(first);
    if (!n) {
        error = NotANumber(first);
        return false;
    }
    (row.args == Args::Ms ? fault.ms : fault.count) = *n;
    if (row.kind == FaultKind::DieRx && *n < 1) {
        error = "die-rx counts from 1 (the command byte)";
        return false;
    }
    return true;
}

}  // namespace

bool Fault::ChangesAnswer() const {
    return kind != FaultKind::Lose && kind != FaultKind::Deaf && kind != FaultKind::DieRx;
}

bool ParseFault(const std::string& rule, Fault& fault, std::string& error) {
    const size_t colon = rule.find(':');
    if (colon == std::string::npos) {
        error = "a fault is TARGET:KIND[=ARGS]";
        return false;
    }
    if (!ParseTarget(rule.substr(0, colon), fault, error)) return false;
    const std::string kindText = rule.substr(colon + 1);
    const size_t eq = kindText.find('=');
    const std::string name = kindText.substr(0, eq);
    for (const KindRow& row : kKinds) {
        if (name != row.name) continue;
        fault.kind = row.kind;
        fault.kindText = kindText;
        const bool hasValue = eq != std::string::npos;
        return ParseArgs(row, hasValue ? kindText.substr(eq + 1) : "", hasValue, fault, error);
    }
    error = "\"" + name + "\" is not a fault kind (" + KindList() + ")";
    return false;
}

}  // namespace otp::emu
