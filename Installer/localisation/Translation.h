#pragma once

#include "localisation/TranslationFile.h"
#include "localisation/WordTable.h"

#include <mutex>
#include <string>

// The user-visible texts for the user's language, read from data\translation.json beside
// the executable. A key the catalogue lacks makes it read the file again; a key still
// missing after that is returned as the key itself.
//
// Worker threads look words up while a miss may reload the catalogue, so GetWord and
// Load are serialised by one mutex, held across the whole lookup including the reload.
class CTranslation
{
public:
    CTranslation() = default;
    // Reads the given file instead of the one beside the executable.
    explicit CTranslation(std::wstring filePath);

    CTranslation(const CTranslation&) = delete;
    CTranslation& operator=(const CTranslation&) = delete;

    void Load();
    std::wstring GetWord(std::wstring key);
    std::wstring GetLanguageCode();

private:
    void LoadLocked();

    std::mutex m_mutex;
    std::wstring m_strFilePath; // empty: data\translation.json beside the executable
    WordMap m_words;
    std::wstring m_strLanguage;
};
