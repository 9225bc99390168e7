// The apr1 (Apache MD5-crypt) password hash and its pieces: MD5, the
// crypt-style base-64 encoding and random salts.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace xt {

class System;

std::array<uint8_t, 16> md5Raw(const std::string& data);
std::string encode64(uint32_t value, int count);
std::string randomSalt(System& system);
// salt is rewritten to the salt used (a new one when it is empty).
std::string apr1Hash(System& system, const std::string& password, std::string& salt);

}  // namespace xt
