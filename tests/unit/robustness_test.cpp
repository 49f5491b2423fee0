// Regression tests for faults the fuzz targets found (tests/fuzz).

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "online/service_protocol.h"

namespace {

const Md5Function FakeMd5 = [](const std::string& bytes) { return bytes; };

std::string NonceField(const std::string& url)
{
    size_t start = url.find("&n=") + 3;
    return url.substr(start, url.find("&h=") - start);
}

// A nonce reply of the largest int (a body longer than the read, handed to
// the handler as a whole) used to overflow a signed add, which the
// sanitizer build stops on; the step wraps instead.
TEST(Robustness, NonceAtTheLargestIntWrapsInsteadOfOverflowing)
{
    const ServiceAccount account;
    int32_t nonce = 0;
    const ReplyAction action = ActOnReply(KIND_NONCE, "2147483647", account, nonce, FakeMd5);
    EXPECT_EQ(nonce, INT32_MIN);
    EXPECT_EQ(NonceField(action.nextUrl), "-2147483648");

    nonce = INT32_MAX;
    EXPECT_EQ(NonceField(SignedRequestUrl(KIND_ALARM_NOTICE, account, nonce, FakeMd5)), "-2147483648");
    EXPECT_EQ(nonce, INT32_MIN);
}

}  // namespace
