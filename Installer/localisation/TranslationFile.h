#pragma once

#include <map>
#include <string>

using WordMap = std::map<std::wstring, std::wstring>;

// Decodes UTF-8 into one wide code unit per sequence. Decoding stops at the first
// malformed or truncated sequence (overlong forms and encoded surrogates count as
// malformed). A well-formed 4-byte sequence lies outside what one 16-bit unit can hold
// and becomes U+FFFD, so texts stay in the Basic Multilingual Plane on every platform.
// A byte-order mark comes out as U+FEFF; the JSON reader skips it.
std::wstring DecodeUtf8(const std::string& bytes);

// Parses the translation file's JSON text. When it holds a branch named `language`,
// the texts of that branch whose names are entries of WordKeys are stored in `words`
// (overwriting older texts for those keys, other entries left alone). Non-string
// values are stored as their JSON text; objects and arrays as an empty text.
// Returns false when the text is not valid JSON (nothing is stored then), true
// otherwise, whether or not the branch exists. Never throws.
bool ReadTranslationBranch(const std::wstring& jsonText, const std::wstring& language,
                           WordMap& words);
