#include <gtest/gtest.h>

#include "settings/service_url.h"

TEST(ServiceUrl, AcceptsSchemeHostAndOptionalPort)
{
    for (const char* url : {"http://localhost", "http://127.0.0.1:8765", "https://sms.example.org",
                            "http://a-b.example:65535", "http://service.kestrova.invalid"})
        EXPECT_TRUE(IsWellFormedServiceUrl(url)) << url;
}

TEST(ServiceUrl, RejectsPathsSlashesOtherSchemesAndJunk)
{
    for (const char* url : {"", "localhost", "http://", "https://", "http://host/", "http://host/beta",
                            "http://host?x=1", "http://user@host", "http://host:", "http://host:0",
                            "http://host:65536", "http://host:80a", "http://.host", "http://host.",
                            "http://a..b", "ftp://host", "HTTP://host", "http://ho st", "http://host:123456"})
        EXPECT_FALSE(IsWellFormedServiceUrl(url)) << url;
}

TEST(ServiceUrl, AtMostTwoHundredCharacters)
{
    std::string prefix = "http://";
    EXPECT_TRUE(IsWellFormedServiceUrl(prefix + std::string(200 - prefix.size(), 'a')));
    EXPECT_FALSE(IsWellFormedServiceUrl(prefix + std::string(201 - prefix.size(), 'a')));
}
