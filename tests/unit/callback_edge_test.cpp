// What a failure that reaches a callback's edge does: reported always, the
// alarm started only while armed, and the caller's safe result returned.
#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

#include "app/callback_edge.h"
#include "settings/settings.h"

namespace {

class RecordingEdge : public CallbackEdgePlatform {
public:
    explicit RecordingEdge(uint32_t flags) : flags(flags) {}
    uint32_t Flags() noexcept override { return flags; }
    void PostAlarmStart() noexcept override { ++alarmStarts; }
    void Report(const char* what) noexcept override { reports += what; }

    uint32_t flags;
    int alarmStarts = 0;
    std::string reports;
};

constexpr uint32_t OTHER_FLAGS = FLAG_SHOW_WARNING | FLAG_AGREEMENT_PENDING;

TEST(CallbackEdge, AFailureIsReportedAndStartsTheAlarmOnlyWhileArmedAResultPassesAlone)
{
    enum Body { RETURNS, THROWS_STD, THROWS_OTHER };
    struct Case {
        uint32_t flags;
        Body body;
        long result;
        int alarmStarts;
        const char* report;
    } const cases[] = {
        {FLAG_ARMED, THROWS_STD, 7, 1, "disk gone"},
        {FLAG_ARMED | OTHER_FLAGS, THROWS_OTHER, 7, 1, "an exception of unknown type"},
        {0, THROWS_STD, 7, 0, "disk gone"},
        {OTHER_FLAGS, THROWS_OTHER, 7, 0, "an exception of unknown type"},
        {FLAG_ARMED, RETURNS, 3, 0, ""},
        {0, RETURNS, 3, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags << ", body " << c.body);
        RecordingEdge edge(c.flags);
        const long result = RunAtCallbackEdge(edge, 7L, [&]() -> long {
            if (c.body == THROWS_STD)
                throw std::runtime_error("disk gone");
            if (c.body == THROWS_OTHER)
                throw 42;
            return 3L;
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(edge.alarmStarts, c.alarmStarts);
        EXPECT_EQ(edge.reports, c.report);

        RecordingEdge voidEdge(c.flags);
        bool ran = false;
        RunAtCallbackEdge(voidEdge, [&] {
            ran = true;
            if (c.body != RETURNS)
                throw std::bad_alloc();
        });
        EXPECT_TRUE(ran);
        EXPECT_EQ(voidEdge.alarmStarts, c.alarmStarts);
        EXPECT_EQ(voidEdge.reports.empty(), c.body == RETURNS);
    }
}

}  // namespace
