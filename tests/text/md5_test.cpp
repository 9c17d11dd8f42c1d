// MD5 against the RFC 1321 test suite, and the in-place framing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "text/md5.h"

namespace {

std::string hex(const std::string& data) {
    char out[33];
    qz::text::md5_hex(data.data(), data.size(), out);
    return out;
}

TEST(Md5, Rfc1321SuiteAndBlockEdges) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        // 55, 56, 63, 64 and 65 bytes straddle the padding and block edges.
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
        {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
    };
    for (const auto& c : cases) EXPECT_EQ(hex(c.first), c.second) << "length " << c.first.size();
}

TEST(Md5InPlace, ReplacesTheTextAndKeepsTheRest) {
    const std::string longer(50, 'q');
    char buf[64];
    std::memcpy(buf, longer.c_str(), longer.size() + 1);
    EXPECT_EQ(qz::text::digest_in_place(buf), 1);
    EXPECT_EQ(std::string(buf), hex(longer));
    EXPECT_EQ(std::string(buf + 33), longer.substr(33));
    EXPECT_EQ(qz::text::digest_in_place(nullptr), 0);
}

}  // namespace
