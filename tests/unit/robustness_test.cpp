// Regression tests for faults the fuzz targets found (tests/fuzz).

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "fake_service_platform.h"
#include "online/service_protocol.h"

namespace {

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
    const ServiceAccount account;
    ServiceNonce nonce{0};
    FakeServicePlatform platform;
    EXPECT_EQ(HandleServiceReply(KIND_NONCE, "2147483647", account, nonce, platform), nullptr);
    ASSERT_EQ(platform.requests.size(), 1u);
    EXPECT_EQ(nonce.load(), INT32_MIN);
    EXPECT_EQ(NonceField(platform.requests[0].url), "-2147483648");

    nonce = INT32_MAX;
    SendAlarmNotice(account, nonce, platform);
    ASSERT_EQ(platform.requests.size(), 2u);
    EXPECT_EQ(nonce.load(), INT32_MIN);
    EXPECT_EQ(NonceField(platform.requests[1].url), "-2147483648");
}

}  // namespace
