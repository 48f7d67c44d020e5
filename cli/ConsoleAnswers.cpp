#include "cli/ConsoleAnswers.h"

namespace otp {

std::string WayOut(FormModel::Question question) {
    switch (question) {
        case FormModel::Question::YesNo: return "--yes answers yes";
        case FormModel::Question::LoadDamaged: return "--load-damaged loads it anyway";
        case FormModel::Question::None: break;
    }
    return {};
}

std::string AnswerLine(const std::string& text, bool yes, FormModel::Question question) {
    return std::string(kConfirmTitle) + ": " + text + " -> " + (yes ? "yes" : "no (" + WayOut(question) + ")");
}

}  // namespace otp
