// The translation file is read as the installer reads it: its bytes decoded from UTF-8, then
// parsed by Boost.PropertyTree. Whatever lies beside the executable may have been edited or
// damaged, so no bytes may crash the reader or make it throw, and what it stores must hold.
// The nesting the reader counts before it parses is checked against the tree the parser builds.
#include "localisation/TranslationFile.h"
#include "localisation/WordTable.h"

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <string>

namespace {

bool IsHighSurrogate(wchar_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// A lone surrogate would reach the window's texts as garbage.
bool HasLoneSurrogate(const std::wstring& text)
{
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
            ++i;
        else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i]))
            return true;
    }
    return false;
}

bool IsWordKey(const std::wstring& key)
{
    return std::find(std::begin(WordKeys), std::end(WordKeys), key) != std::end(WordKeys);
}

// Levels of the parsed tree: one per object or array, and one more where a value ends a branch.
std::size_t Height(const boost::property_tree::wptree& tree)
{
    std::size_t height = 0;
    for (const auto& child : tree)
        height = std::max(height, Height(child.second));
    return height + 1;
}

// The parser's own verdict and tree height, for a text shallow enough to parse unguarded.
bool ParsedHeight(const std::wstring& text, std::size_t& height)
{
    try
    {
        boost::property_tree::wptree tree;
        std::wistringstream stream(text);
        boost::property_tree::read_json(stream, tree);
        height = Height(tree);
        return true;
    }
    catch (...)
    {
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring text = DecodeUtf8(bytes);
    // One unit per sequence, and only the Basic Multilingual Plane without surrogates, so the
    // text means the same with 16-bit wchar_t on Windows.
    if (text.size() > bytes.size())
        std::abort();
    for (wchar_t c : text)
        if (static_cast<unsigned long>(c) > 0xFFFF || IsHighSurrogate(c) || IsLowSurrogate(c))
            std::abort();

    // An entry the file has no say over must survive any file, read or rejected.
    const WordMap before = {{L"NOT_A_WORD_KEY", L"kept"}, {L"INSTALL_WIFI", L"old"}};
    WordMap words = before;
    const bool read = ReadTranslationBranch(text, L"eng", words);

    // The count before parsing sees every level the parser builds (a tree of n levels nests at
    // least n - 1 deep), and refuses no text the parser reads within the bound.
    const std::size_t brackets =
        std::count(text.begin(), text.end(), L'[') + std::count(text.begin(), text.end(), L'{');
    std::size_t height = 0;
    if (brackets <= 4 * kMaxTranslationDepth && ParsedHeight(text, height))
    {
        if (JsonNestingDepth(text) + 1 < height)
            std::abort();
        if (height <= kMaxTranslationDepth && text.size() <= kMaxTranslationFileBytes && !read)
            std::abort();
    }

    if (!read)
    {
        if (words != before)
            std::abort();
        return 0;
    }
    if (words.at(L"NOT_A_WORD_KEY") != L"kept")
        std::abort();
    for (const auto& [key, word] : words)
        if ((key != L"NOT_A_WORD_KEY" && !IsWordKey(key)) || HasLoneSurrogate(word))
            std::abort();
    return 0;
}
