#pragma once
// A SHA-256 digest and its text form (64 hexadecimal digits).

#include <array>
#include <cstdint>
#include <string>

namespace net {

using Sha256Digest = std::array<std::uint8_t, 32>;

// Accepts exactly 64 hexadecimal digits, either case; nothing else.
bool ParseSha256Hex(const std::string& text, Sha256Digest& digest);

// Lower-case text form.
std::string Sha256ToHex(const Sha256Digest& digest);

} // namespace net
