#include "localisation/TranslationFile.h"

#include "localisation/WordTable.h"

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <algorithm>
#include <sstream>

namespace {
bool IsContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}
} // namespace

std::wstring DecodeUtf8(const std::string& bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n)
    {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80)
        {
            out.push_back(static_cast<wchar_t>(c));
            ++i;
            continue;
        }

        size_t length = 0;
        unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF)
            length = 2;
        else if (c >= 0xE0 && c <= 0xEF)
        {
            length = 3;
            if (c == 0xE0)
                lo = 0xA0; // overlong
            else if (c == 0xED)
                hi = 0x9F; // surrogates
        }
        else if (c >= 0xF0 && c <= 0xF4)
        {
            length = 4;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F; // above U+10FFFF
        }
        else
            break;

        if (n - i < length)
            break;
        const unsigned char second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < lo || second > hi)
            break;
        bool wellFormed = true;
        for (size_t k = 2; k < length; ++k)
            wellFormed = wellFormed && IsContinuation(static_cast<unsigned char>(bytes[i + k]));
        if (!wellFormed)
            break;

        unsigned codePoint = 0xFFFD;
        if (length == 2)
            codePoint = ((c & 0x1Fu) << 6) | (second & 0x3Fu);
        else if (length == 3)
            codePoint = ((c & 0x0Fu) << 12) | ((second & 0x3Fu) << 6) |
                        (static_cast<unsigned char>(bytes[i + 2]) & 0x3Fu);
        out.push_back(static_cast<wchar_t>(codePoint));
        i += length;
    }
    return out;
}

std::size_t JsonNestingDepth(const std::wstring& text)
{
    std::size_t depth = 0, deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const wchar_t c = text[i];
        if (inString)
        {
            if (c == L'\\')
                ++i;
            else if (c == L'"')
                inString = false;
        }
        else if (c == L'"')
            inString = true;
        else if (c == L'[' || c == L'{')
            deepest = std::max(deepest, ++depth);
        else if ((c == L']' || c == L'}') && depth > 0)
            --depth;
    }
    return deepest;
}

bool ReadTranslationBranch(const std::wstring& jsonText, const std::wstring& language,
                           WordMap& words)
{
    if (jsonText.size() > kMaxTranslationFileBytes ||
        JsonNestingDepth(jsonText) > kMaxTranslationDepth)
        return false;
    using Tree = boost::property_tree::wptree;
    try
    {
        Tree root;
        std::wistringstream stream(jsonText);
        boost::property_tree::read_json(stream, root);

        const auto branch = root.find(language);
        if (branch == root.not_found())
            return true;
        const Tree& texts = branch->second;
        for (const wchar_t* key : WordKeys)
        {
            const auto entry = texts.find(key);
            if (entry != texts.not_found())
                words[key] = entry->second.data();
        }
        return true;
    }
    catch (...)
    {
        // Syntax errors above all; an allocation failure lands here too.
        return false;
    }
}
