#include "trust/PublisherPins.h"

namespace {

bool StartsWith(const std::string& text, const char* head)
{
    return text.compare(0, std::char_traits<char>::length(head), head) == 0;
}

std::optional<PublisherPin> ParseEntry(const std::string& entry, std::string& reason)
{
    PublisherPin pin;
    if (entry == "self")
    {
        pin.kind = PublisherPin::Kind::Self;
        return pin;
    }
    if (StartsWith(entry, "key:"))
    {
        pin.kind = PublisherPin::Kind::Key;
        if (net::ParseSha256Hex(entry.substr(4), pin.key))
            return pin;
        reason = "a key is 64 hexadecimal digits (SHA-256 of the DER SubjectPublicKeyInfo)";
        return std::nullopt;
    }
    if (StartsWith(entry, "name:"))
    {
        pin.kind = PublisherPin::Kind::Name;
        pin.name = entry.substr(5);
        // Control characters cannot be part of a name we would want to compare exactly.
        bool clean = !pin.name.empty();
        for (unsigned char c : pin.name)
            clean = clean && c >= 0x20 && c != 0x7F;
        if (clean)
            return pin;
        reason = "a name is a non-empty common name without control characters";
        return std::nullopt;
    }
    reason = "an entry is key:<64 hex digits>, name:<common name> or self";
    return std::nullopt;
}

} // namespace

std::optional<std::vector<PublisherPin>> ParsePublisherPins(const std::string& list,
                                                            std::string* error)
{
    std::vector<PublisherPin> pins;
    if (list.empty())
        return pins;
    std::size_t start = 0;
    for (;;)
    {
        const std::size_t end = list.find(';', start);
        const std::string entry =
            list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string reason;
        const auto pin = ParseEntry(entry, reason);
        if (!pin)
        {
            if (error)
                *error = "malformed entry \"" + entry + "\": " + reason;
            return std::nullopt;
        }
        pins.push_back(*pin);
        if (end == std::string::npos)
            return pins;
        start = end + 1;
    }
}

bool PinsNameSelf(const std::vector<PublisherPin>& pins)
{
    for (const PublisherPin& pin : pins)
        if (pin.kind == PublisherPin::Kind::Self)
            return true;
    return false;
}

bool SignerMatchesPins(const std::vector<PublisherPin>& pins, const SignerIdentity& signer,
                       const std::optional<Sha256Bytes>& selfKey)
{
    if (PinsNameSelf(pins) && !selfKey)
        return false;
    for (const PublisherPin& pin : pins)
    {
        switch (pin.kind)
        {
        case PublisherPin::Kind::Key:
            if (pin.key == signer.spkiSha256)
                return true;
            break;
        case PublisherPin::Kind::Name:
            if (!signer.commonName.empty() && pin.name == signer.commonName)
                return true;
            break;
        case PublisherPin::Kind::Self:
            if (*selfKey == signer.spkiSha256)
                return true;
            break;
        }
    }
    return false;
}
