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

TEST(CallbackEdge, AFailureIsReportedAndStartsTheAlarmOnlyWhileArmed)
{
    struct Case {
        uint32_t flags;
        bool stdException;
        int alarmStarts;
        const char* report;
    };
    const Case cases[] = {
        {FLAG_ARMED, true, 1, "disk gone"},
        {FLAG_ARMED | OTHER_FLAGS, false, 1, "an exception of unknown type"},
        {0, true, 0, "disk gone"},
        {OTHER_FLAGS, false, 0, "an exception of unknown type"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags << (c.stdException ? ", std" : ", other"));
        RecordingEdge edge(c.flags);
        const long result = RunAtCallbackEdge(edge, 7L, [&]() -> long {
            if (c.stdException)
                throw std::runtime_error("disk gone");
            throw 42;
        });
        EXPECT_EQ(result, 7L);
        EXPECT_EQ(edge.alarmStarts, c.alarmStarts);
        EXPECT_EQ(edge.reports, c.report);

        RecordingEdge voidEdge(c.flags);
        RunAtCallbackEdge(voidEdge, [] { throw std::bad_alloc(); });
        EXPECT_EQ(voidEdge.alarmStarts, c.alarmStarts);
        EXPECT_FALSE(voidEdge.reports.empty());
    }
}

TEST(CallbackEdge, ABodyThatReturnsPassesItsResultAndNothingElseHappens)
{
    for (const uint32_t flags : {uint32_t(FLAG_ARMED), uint32_t(0)}) {
        RecordingEdge edge(flags);
        EXPECT_EQ(RunAtCallbackEdge(edge, 0L, [] { return 3L; }), 3L);
        bool ran = false;
        RunAtCallbackEdge(edge, [&] { ran = true; });
        EXPECT_TRUE(ran);
        EXPECT_EQ(edge.alarmStarts, 0);
        EXPECT_EQ(edge.reports, "");
    }
}

}  // namespace
