#include "net/Sha256Digest.h"

namespace net {

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool ParseSha256Hex(const std::string& text, Sha256Digest& digest)
{
    if (text.size() != digest.size() * 2)
        return false;
    Sha256Digest parsed{};
    for (std::size_t i = 0; i < parsed.size(); ++i)
    {
        const int hi = HexValue(text[2 * i]);
        const int lo = HexValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        parsed[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    digest = parsed;
    return true;
}

std::string Sha256ToHex(const Sha256Digest& digest)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest.size() * 2);
    for (std::uint8_t b : digest)
    {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

} // namespace net
