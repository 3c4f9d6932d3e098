#pragma once

#include <cstddef>
#include <map>
#include <string>

using WordMap = std::map<std::wstring, std::wstring>;

// Decodes UTF-8 into one wide code unit per sequence. Decoding stops at the first
// malformed or truncated sequence (overlong forms and encoded surrogates count as
// malformed). A well-formed 4-byte sequence lies outside what one 16-bit unit can hold
// and becomes U+FFFD, so texts stay in the Basic Multilingual Plane on every platform.
// A byte-order mark comes out as U+FEFF; the JSON reader skips it.
std::wstring DecodeUtf8(const std::string& bytes);

// The largest translation file read, in bytes (its text has at most as many units), and its
// deepest nesting of objects and arrays. The parser recurses once per level on the stack of an
// elevated process, so a larger or deeper file is not parsed at all.
constexpr std::size_t kMaxTranslationFileBytes = 1024 * 1024;
constexpr std::size_t kMaxTranslationDepth = 32;

// How deeply objects and arrays nest in a JSON text: the most brackets open at once, counted
// outside strings (a backslash escapes the next unit). Counted for any text, valid or not.
std::size_t JsonNestingDepth(const std::wstring& text);

// Parses the translation file's JSON text. When it holds a branch named `language`,
// the texts of that branch whose names are entries of WordKeys are stored in `words`
// (overwriting older texts for those keys, other entries left alone). Non-string
// values are stored as their JSON text; objects and arrays as an empty text.
// Returns false when the text is not valid JSON, is longer than kMaxTranslationFileBytes or
// nests deeper than kMaxTranslationDepth (nothing is stored then), true otherwise, whether or
// not the branch exists. Never throws.
bool ReadTranslationBranch(const std::wstring& jsonText, const std::wstring& language,
                           WordMap& words);
