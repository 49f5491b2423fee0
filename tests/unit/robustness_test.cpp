// Regression tests for faults the fuzz targets found (tests/fuzz).

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "online/service_protocol.h"
#include "settings/settings.h"

namespace {

class CRequestLog : public CServicePlatform {
public:
    std::vector<std::string> urls;

    void IssueRequest(int, const std::string& url) override { urls.push_back(url); }
    void StartConnectionWatchdog() override {}
    void CancelConnectionWatchdog() override {}
    void ResetAccountIndicator() override {}
    void StepAccountIndicator() override {}
    void SetAccountIndicatorColour(uint8_t, uint8_t) override {}
    void ShowSmsBalance(int32_t) override {}
    bool AskToOpenHomePage() override { return false; }
    void OpenWebPage(const std::string&) override {}
    UtcDate CurrentUtcDate() override { return {}; }
};

std::string NonceField(const std::string& url)
{
    size_t start = url.find("&n=") + 3;
    return url.substr(start, url.find("&h=") - start);
}

// A nonce reply of the largest int (a body longer than the read, handed to
// the handler as a whole) used to overflow a signed add, which the
// sanitizer build stops on; the step wraps as the stored atomic does.
TEST(Robustness, NonceAtTheLargestIntWrapsInsteadOfOverflowing)
{
    Settings settings;
    CRequestLog platform;
    EXPECT_EQ(HandleServiceReply(KIND_NONCE, "2147483647", settings, platform), nullptr);
    ASSERT_EQ(platform.urls.size(), 1u);
    EXPECT_EQ(settings.nonce.load(), INT32_MIN);
    EXPECT_EQ(NonceField(platform.urls[0]), "-2147483648");

    settings.nonce = INT32_MAX;
    SendAlarmNotice(settings, platform);
    ASSERT_EQ(platform.urls.size(), 2u);
    EXPECT_EQ(settings.nonce.load(), INT32_MIN);
    EXPECT_EQ(NonceField(platform.urls[1]), "-2147483648");
}

}  // namespace
