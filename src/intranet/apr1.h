// The apr1 (Apache MD5-crypt) password hash and its pieces: MD5, the
// crypt-style base-64 encoding and random salts.
//
// A hash reads "$apr1$" + salt (at most 8 characters) + "$" + 22 characters
// of the encoded digest, e.g. "$apr1$abcdefgh$L.PT565ESX4Tp2bqNs7Ie." for
// the empty password.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace xt {

class System;

using Md5Digest = std::array<uint8_t, 16>;

// MD5 (RFC 1321) of a whole byte string.
Md5Digest md5Raw(const void* data, size_t length);
Md5Digest md5Raw(const std::string& data);

// value's 6-bit groups, least significant first, as |count| - 1 characters
// of the crypt alphabet ("./0-9A-Za-z"); nothing when |count| <= 1.
std::string encode64(uint32_t value, int count);
// 8 characters of the crypt alphabet drawn from system.random().
std::string randomSalt(System& system);

// salt is rewritten to the salt used: a new random one when empty, the 8
// characters after a leading "$apr1$", or else its first 8 characters.
std::string apr1Hash(System& system, const std::string& password, std::string& salt);

// The hash itself for an already normalised salt, with the MD5 function
// given (the benchmark runs the same loop over another MD5).
using Md5Function = Md5Digest (*)(const void* data, size_t length);
std::string apr1Crypt(const std::string& password, const std::string& salt, Md5Function md5);

}  // namespace xt
