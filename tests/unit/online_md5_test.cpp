#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "online/md5.h"

namespace {

const char* const PATTERN_DIGESTS[] = {
#include "online_md5_vectors.inc"
};

std::string Md5Hex(const std::string& message)
{
    Md5Context md5;
    md5.Update(message.data(), message.size());
    return DigestToHex(md5.Final());
}

std::string PatternMessage(size_t length)
{
    std::string message;
    for (size_t i = 0; i < length; ++i)
        message.push_back(char((i * 131 + 17) % 256));
    return message;
}

TEST(Md5, Rfc1321TestSuite)
{
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, EveryLengthAcrossTwoBlockBoundaries)
{
    ASSERT_EQ(sizeof PATTERN_DIGESTS / sizeof PATTERN_DIGESTS[0], 131u);
    for (size_t length = 0; length <= 130; ++length)
        EXPECT_EQ(Md5Hex(PatternMessage(length)), PATTERN_DIGESTS[length]) << "length " << length;
}

TEST(Md5, PiecewiseUpdatesGiveTheSameDigest)
{
    // Feeding the message in uneven pieces must not change the digest: the
    // buffering across Update calls is where incremental hashes go wrong.
    for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 130u}) {
        std::string message = PatternMessage(length);
        for (size_t piece : {1u, 3u, 7u, 63u, 64u}) {
            Md5Context md5;
            for (size_t at = 0; at < length; at += piece)
                md5.Update(message.data() + at, std::min(piece, length - at));
            EXPECT_EQ(DigestToHex(md5.Final()), PATTERN_DIGESTS[length]) << length << " in pieces of " << piece;
        }
    }
}

TEST(Md5, DigestBytesInOrder)
{
    Md5Context md5;
    md5.Update("abc", 3);
    const Md5Digest digest = md5.Final();
    EXPECT_EQ(digest[0], 0x90);
    EXPECT_EQ(digest[15], 0x72);
}

}  // namespace
