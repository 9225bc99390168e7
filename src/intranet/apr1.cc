#include "intranet/apr1.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/system.h"

namespace xt {

namespace {

constexpr char kItoa64[] = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

inline uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}

inline void store32(uint8_t* p, uint32_t v) {
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  std::memcpy(p, &v, 4);
}

// The four rounds of RFC 1321 over one 64-byte block.
#define XT_MD5_STEP(f, a, b, c, d, x, t, s) \
  (a) += f((b), (c), (d)) + (x) + (t);      \
  (a) = std::rotl((a), (s)) + (b);
#define XT_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define XT_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define XT_H(x, y, z) ((x) ^ (y) ^ (z))
#define XT_I(x, y, z) ((y) ^ ((x) | ~(z)))

void md5Block(uint32_t state[4], const uint8_t* block) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = load32(block + 4 * i);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

  XT_MD5_STEP(XT_F, a, b, c, d, x[0], 0xd76aa478, 7)
  XT_MD5_STEP(XT_F, d, a, b, c, x[1], 0xe8c7b756, 12)
  XT_MD5_STEP(XT_F, c, d, a, b, x[2], 0x242070db, 17)
  XT_MD5_STEP(XT_F, b, c, d, a, x[3], 0xc1bdceee, 22)
  XT_MD5_STEP(XT_F, a, b, c, d, x[4], 0xf57c0faf, 7)
  XT_MD5_STEP(XT_F, d, a, b, c, x[5], 0x4787c62a, 12)
  XT_MD5_STEP(XT_F, c, d, a, b, x[6], 0xa8304613, 17)
  XT_MD5_STEP(XT_F, b, c, d, a, x[7], 0xfd469501, 22)
  XT_MD5_STEP(XT_F, a, b, c, d, x[8], 0x698098d8, 7)
  XT_MD5_STEP(XT_F, d, a, b, c, x[9], 0x8b44f7af, 12)
  XT_MD5_STEP(XT_F, c, d, a, b, x[10], 0xffff5bb1, 17)
  XT_MD5_STEP(XT_F, b, c, d, a, x[11], 0x895cd7be, 22)
  XT_MD5_STEP(XT_F, a, b, c, d, x[12], 0x6b901122, 7)
  XT_MD5_STEP(XT_F, d, a, b, c, x[13], 0xfd987193, 12)
  XT_MD5_STEP(XT_F, c, d, a, b, x[14], 0xa679438e, 17)
  XT_MD5_STEP(XT_F, b, c, d, a, x[15], 0x49b40821, 22)

  XT_MD5_STEP(XT_G, a, b, c, d, x[1], 0xf61e2562, 5)
  XT_MD5_STEP(XT_G, d, a, b, c, x[6], 0xc040b340, 9)
  XT_MD5_STEP(XT_G, c, d, a, b, x[11], 0x265e5a51, 14)
  XT_MD5_STEP(XT_G, b, c, d, a, x[0], 0xe9b6c7aa, 20)
  XT_MD5_STEP(XT_G, a, b, c, d, x[5], 0xd62f105d, 5)
  XT_MD5_STEP(XT_G, d, a, b, c, x[10], 0x02441453, 9)
  XT_MD5_STEP(XT_G, c, d, a, b, x[15], 0xd8a1e681, 14)
  XT_MD5_STEP(XT_G, b, c, d, a, x[4], 0xe7d3fbc8, 20)
  XT_MD5_STEP(XT_G, a, b, c, d, x[9], 0x21e1cde6, 5)
  XT_MD5_STEP(XT_G, d, a, b, c, x[14], 0xc33707d6, 9)
  XT_MD5_STEP(XT_G, c, d, a, b, x[3], 0xf4d50d87, 14)
  XT_MD5_STEP(XT_G, b, c, d, a, x[8], 0x455a14ed, 20)
  XT_MD5_STEP(XT_G, a, b, c, d, x[13], 0xa9e3e905, 5)
  XT_MD5_STEP(XT_G, d, a, b, c, x[2], 0xfcefa3f8, 9)
  XT_MD5_STEP(XT_G, c, d, a, b, x[7], 0x676f02d9, 14)
  XT_MD5_STEP(XT_G, b, c, d, a, x[12], 0x8d2a4c8a, 20)

  XT_MD5_STEP(XT_H, a, b, c, d, x[5], 0xfffa3942, 4)
  XT_MD5_STEP(XT_H, d, a, b, c, x[8], 0x8771f681, 11)
  XT_MD5_STEP(XT_H, c, d, a, b, x[11], 0x6d9d6122, 16)
  XT_MD5_STEP(XT_H, b, c, d, a, x[14], 0xfde5380c, 23)
  XT_MD5_STEP(XT_H, a, b, c, d, x[1], 0xa4beea44, 4)
  XT_MD5_STEP(XT_H, d, a, b, c, x[4], 0x4bdecfa9, 11)
  XT_MD5_STEP(XT_H, c, d, a, b, x[7], 0xf6bb4b60, 16)
  XT_MD5_STEP(XT_H, b, c, d, a, x[10], 0xbebfbc70, 23)
  XT_MD5_STEP(XT_H, a, b, c, d, x[13], 0x289b7ec6, 4)
  XT_MD5_STEP(XT_H, d, a, b, c, x[0], 0xeaa127fa, 11)
  XT_MD5_STEP(XT_H, c, d, a, b, x[3], 0xd4ef3085, 16)
  XT_MD5_STEP(XT_H, b, c, d, a, x[6], 0x04881d05, 23)
  XT_MD5_STEP(XT_H, a, b, c, d, x[9], 0xd9d4d039, 4)
  XT_MD5_STEP(XT_H, d, a, b, c, x[12], 0xe6db99e5, 11)
  XT_MD5_STEP(XT_H, c, d, a, b, x[15], 0x1fa27cf8, 16)
  XT_MD5_STEP(XT_H, b, c, d, a, x[2], 0xc4ac5665, 23)

  XT_MD5_STEP(XT_I, a, b, c, d, x[0], 0xf4292244, 6)
  XT_MD5_STEP(XT_I, d, a, b, c, x[7], 0x432aff97, 10)
  XT_MD5_STEP(XT_I, c, d, a, b, x[14], 0xab9423a7, 15)
  XT_MD5_STEP(XT_I, b, c, d, a, x[5], 0xfc93a039, 21)
  XT_MD5_STEP(XT_I, a, b, c, d, x[12], 0x655b59c3, 6)
  XT_MD5_STEP(XT_I, d, a, b, c, x[3], 0x8f0ccc92, 10)
  XT_MD5_STEP(XT_I, c, d, a, b, x[10], 0xffeff47d, 15)
  XT_MD5_STEP(XT_I, b, c, d, a, x[1], 0x85845dd1, 21)
  XT_MD5_STEP(XT_I, a, b, c, d, x[8], 0x6fa87e4f, 6)
  XT_MD5_STEP(XT_I, d, a, b, c, x[15], 0xfe2ce6e0, 10)
  XT_MD5_STEP(XT_I, c, d, a, b, x[6], 0xa3014314, 15)
  XT_MD5_STEP(XT_I, b, c, d, a, x[13], 0x4e0811a1, 21)
  XT_MD5_STEP(XT_I, a, b, c, d, x[4], 0xf7537e82, 6)
  XT_MD5_STEP(XT_I, d, a, b, c, x[11], 0xbd3af235, 10)
  XT_MD5_STEP(XT_I, c, d, a, b, x[2], 0x2ad7d2bb, 15)
  XT_MD5_STEP(XT_I, b, c, d, a, x[9], 0xeb86d391, 21)

  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

#undef XT_MD5_STEP
#undef XT_F
#undef XT_G
#undef XT_H
#undef XT_I

}  // namespace

Md5Digest md5Raw(const void* data, size_t length) {
  uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  const auto* p = static_cast<const uint8_t*>(data);
  size_t whole = length / 64 * 64;
  for (size_t i = 0; i < whole; i += 64) md5Block(state, p + i);

  // The tail, the 0x80 marker, zeros and the bit length in one or two blocks.
  uint8_t tail[128] = {};
  size_t rest = length - whole;
  if (rest) std::memcpy(tail, p + whole, rest);
  tail[rest] = 0x80;
  size_t tailLength = rest < 56 ? 64 : 128;
  uint64_t bits = static_cast<uint64_t>(length) * 8;
  store32(tail + tailLength - 8, static_cast<uint32_t>(bits));
  store32(tail + tailLength - 4, static_cast<uint32_t>(bits >> 32));
  md5Block(state, tail);
  if (tailLength == 128) md5Block(state, tail + 64);

  Md5Digest digest;
  for (int i = 0; i < 4; ++i) store32(digest.data() + 4 * i, state[i]);
  return digest;
}

Md5Digest md5Raw(const std::string& data) { return md5Raw(data.data(), data.size()); }

std::string encode64(uint32_t value, int count) {
  std::string out;
  for (int n = std::abs(count) - 1; n > 0; --n) {
    out += kItoa64[value % 64];
    value /= 64;
  }
  return out;
}

std::string randomSalt(System& system) {
  std::string salt;
  for (int i = 0; i < 8; ++i) {
    int index = static_cast<int>(std::floor(system.random() * 64));
    salt += kItoa64[index < 0 ? 0 : index > 63 ? 63 : index];
  }
  return salt;
}

std::string apr1Crypt(const std::string& password, const std::string& salt, Md5Function md5) {
  const size_t length = password.size();
  std::string text = password + "$apr1$" + salt;
  const std::string mix = password + salt + password;
  const Md5Digest alt = md5(mix.data(), mix.size());
  for (size_t i = length; i > 0; i -= std::min<size_t>(i, 16))
    text.append(reinterpret_cast<const char*>(alt.data()), std::min<size_t>(i, 16));
  for (size_t i = length; i > 0; i /= 2) text += (i & 1) ? '\0' : password[0];
  Md5Digest final = md5(text.data(), text.size());

  // 1000 rounds; the work text keeps its capacity from round to round.
  std::string t;
  t.reserve(2 * length + salt.size() + 32);
  const char* finalBytes = reinterpret_cast<const char*>(final.data());
  for (int k = 0; k < 1000; ++k) {
    t.clear();
    if (k & 1)
      t.append(password);
    else
      t.append(finalBytes, 16);
    if (k % 3) t.append(salt);
    if (k % 7) t.append(password);
    if (k & 1)
      t.append(finalBytes, 16);
    else
      t.append(password);
    final = md5(t.data(), t.size());
  }

  std::string out = "$apr1$" + salt + "$";
  for (int j = 0; j < 5; ++j) {
    uint32_t z = final[j == 4 ? 5 : j + 12];
    out += encode64((uint32_t{final[j]} << 16) | (uint32_t{final[j + 6]} << 8) | z, 5);
  }
  out += encode64(final[11], 3);
  return out;
}

std::string apr1Hash(System& system, const std::string& password, std::string& salt) {
  if (salt.empty())
    salt = randomSalt(system);
  else if (salt.compare(0, 6, "$apr1$") == 0)
    salt = salt.substr(6, 8);
  else if (salt.size() > 8)
    salt.resize(8);
  return apr1Crypt(password, salt, md5Raw);
}

}  // namespace xt
