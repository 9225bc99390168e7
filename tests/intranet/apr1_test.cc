#include "intranet/apr1.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "testing/fake_system.h"

namespace xt {
namespace {

std::string hex(const Md5Digest& d) {
  std::string out;
  char buf[3];
  for (uint8_t b : d) {
    std::snprintf(buf, sizeof buf, "%02x", b);
    out += buf;
  }
  return out;
}

TEST(Md5, KnownAnswers) {
  struct Case {
    std::string input, digest;
  } cases[] = {
      // RFC 1321 test suite.
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      // Around the padding boundaries of one and two blocks.
      {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
      {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
      {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
      {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
      {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
      {std::string(119, 'a'), "8a7bd0732ed6a28ce75f6dabc90e1613"},
      {std::string(1000, 'a'), "cabe45dcc9ae5b66ba86600cca6b8ba8"},
  };
  for (const Case& c : cases) EXPECT_EQ(hex(md5Raw(c.input)), c.digest) << c.input.size() << " bytes";
}

TEST(Encode64, LeastSignificantGroupFirstAndCountRules) {
  EXPECT_EQ(encode64(0, 5), "....");
  EXPECT_EQ(encode64(1 + 2 * 64 + 63 * 64 * 64, 5), "/0z.");
  EXPECT_EQ(encode64(0xFF, 3), "z1");
  EXPECT_EQ(encode64(0xFF, -3), "z1");
  EXPECT_EQ(encode64(5, 1), "");
  EXPECT_EQ(encode64(5, 0), "");
}

TEST(RandomSalt, EightAlphabetCharactersFromTheRandomSource) {
  FakeSystem system;
  system.randomScript = {0.0, 0.999999, 0.5, 1.0 / 64, 2.0 / 64, 12.0 / 64, 38.0 / 64, 63.5 / 64};
  EXPECT_EQ(randomSalt(system), ".zU/0Aaz");
}

TEST(Apr1Hash, KnownAnswers) {
  FakeSystem system;
  struct Case {
    std::string password, salt, hash;
  } cases[] = {
      // From an independent implementation.
      {"", "abcdefgh", "$apr1$abcdefgh$L.PT565ESX4Tp2bqNs7Ie."},
      {"0123456789abcdef", "8hRt3wXe", "$apr1$8hRt3wXe$bHgaVqcxGieBt3r5hucfO/"},
      {"0123456789abcdefg", "mN0/p.Lq", "$apr1$mN0/p.Lq$sxSW2xuqRNAxZfNErfC.Z/"},
      {"\x47\x72\x81\xE1\x65", "cp850", "$apr1$cp850$Fd32UfCNgx8zCCmaFXWFy/"},
      // Checked against openssl passwd -apr1 -salt.
      {"password", "xxxxxxxx", "$apr1$xxxxxxxx$dxHfLAsjHkDRmG83UXe8K0"},
      {"a", "s", "$apr1$s$EpqI6uEp3OR4bun9kSXHW/"},
      {std::string(100, 'x'), "LongPass", "$apr1$LongPass$h1Yzc.pDwZg3DcoCd5aM50"},
      {std::string(23, 'y'), "ab12CD34", "$apr1$ab12CD34$Z.Yjs0//7UvZIxvZlkrQF0"},
      {std::string(24, 'y'), "ab12CD34", "$apr1$ab12CD34$5clykGOdpsTlAqsakRjR21"},
      {std::string(28, 'y'), "ab12CD34", "$apr1$ab12CD34$SWPaBiw8W87PQZQrppSJa/"},
      {"Tav-Intranet_2026", "./Zz09yY", "$apr1$./Zz09yY$MEm0R6pXyTYufPUKN9fpt/"},
      {"S\xE9" "cret\x80\xFF", "hiBytes", "$apr1$hiBytes$i4YQsj98ghEJ.tOnAXiEk1"},
  };
  for (const Case& c : cases) {
    std::string salt = c.salt;
    EXPECT_EQ(apr1Hash(system, c.password, salt), c.hash) << c.password;
    EXPECT_EQ(salt, c.salt);
  }
}

TEST(Apr1Hash, SaltRules) {
  FakeSystem system;
  std::string salt = "$apr1$abcdefgh$L.PT565ESX4Tp2bqNs7Ie.";
  EXPECT_EQ(apr1Hash(system, "", salt), "$apr1$abcdefgh$L.PT565ESX4Tp2bqNs7Ie.");
  EXPECT_EQ(salt, "abcdefgh");

  salt = "ab$defghijk";  // cut at 8 characters only, the "$" stays
  EXPECT_EQ(apr1Hash(system, "x", salt).substr(0, 15), "$apr1$ab$defgh$");
  EXPECT_EQ(salt, "ab$defgh");

  salt = "$apr1$abc";
  apr1Hash(system, "x", salt);
  EXPECT_EQ(salt, "abc");

  salt = "";
  system.randomScript = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0 / 64};
  std::string hash = apr1Hash(system, "pw", salt);
  EXPECT_EQ(salt, "......./");
  EXPECT_EQ(hash.substr(0, 15), "$apr1$......./$");
  EXPECT_EQ(hash.size(), 15u + 22u);
}

TEST(Apr1Hash, MatchesOpensslForGeneratedCases) {
  ASSERT_EQ(std::system("openssl version >/dev/null 2>&1"), 0) << "openssl is needed (scripts/setup-deps.sh)";
  FakeSystem system;
  const char* passwords[] = {"OPERADOR", "G", "ADMIN 01", "pa ss-word.with.more_than_16"};
  const char* salts[] = {"q", "Zz", "12345678", "./x9"};
  for (int i = 0; i < 4; ++i) {
    std::string command = std::string("openssl passwd -apr1 -salt '") + salts[i] + "' '" + passwords[i] + "'";
    FILE* p = ::popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char line[128] = {};
    ASSERT_NE(std::fgets(line, sizeof line, p), nullptr);
    ::pclose(p);
    std::string expected(line);
    while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r')) expected.pop_back();
    std::string salt = salts[i];
    EXPECT_EQ(apr1Hash(system, passwords[i], salt), expected) << passwords[i];
  }
}

}  // namespace
}  // namespace xt
