#include <gtest/gtest.h>

#include "link/Outcome.h"

namespace otp {
namespace {

TEST(Outcome, WorseIsTheWorseOfTheTwoInEitherOrder) {
    using O = Outcome;
    struct Row { O a, b, worse; };
    const Row rows[] = {
        {O::Done, O::Done, O::Done},         {O::Done, O::Refused, O::Refused},
        {O::Done, O::Failed, O::Failed},     {O::Refused, O::Refused, O::Refused},
        {O::Refused, O::Failed, O::Failed},  {O::Failed, O::Failed, O::Failed},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Worse(r.a, r.b), r.worse) << static_cast<int>(r.a) << " " << static_cast<int>(r.b);
        EXPECT_EQ(Worse(r.b, r.a), r.worse) << static_cast<int>(r.b) << " " << static_cast<int>(r.a);
    }
}

}  // namespace
}  // namespace otp
