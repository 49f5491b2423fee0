// What a failure that reaches a callback's edge does: reported with what
// was thrown, and the caller's safe result returned; a result passes alone.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "win32/callback_edge.h"

namespace {

std::string reports;
void Record(const char* what) noexcept { reports += what; }

TEST(CallbackEdge, AFailureIsReportedAndTheSafeResultReturnedAResultPassesAlone)
{
    enum Body { RETURNS, THROWS_STD, THROWS_OTHER, THROWS_BAD_ALLOC };
    struct Case {
        Body body;
        long result;
        const char* report;
    } const cases[] = {
        {THROWS_STD, 7, "disk gone"},
        {THROWS_OTHER, 7, "an exception of unknown type"},
        {THROWS_BAD_ALLOC, 7, std::bad_alloc().what()},
        {RETURNS, 3, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "body " << c.body);
        reports.clear();
        const long result = RunAtCallbackEdge(Record, 7L, [&]() -> long {
            if (c.body == THROWS_STD)
                throw std::runtime_error("disk gone");
            if (c.body == THROWS_OTHER)
                throw 42;
            if (c.body == THROWS_BAD_ALLOC)
                throw std::bad_alloc();
            return 3L;
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(reports, c.report);
    }
}

}  // namespace
