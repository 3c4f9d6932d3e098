#pragma once

// The fixed tables of the translation catalogue: the keys callers look up and the
// branch names of the translation file.

enum WordId
{
    DL_RX_FAILED,
    RX_INSTALLER_MISS,
    DL_BT_FAILED,
    BT_INSTALLER_MISS,
    WIFI_INSTALLED,
    HINT_DL_BT,
    HINT_NO_INTERNET,
    INSTALL_WIFI,
    INSTALL_BT,
    INSTALL_RX,
    INSTALL_HOTSPOT,
    SETUP_NOT_STARTED,
    INSTALLER_UNTRUSTED,
    WORD_ID_COUNT
};

// Indexed by WordId.
extern const wchar_t* const WordKeys[WORD_ID_COUNT];

// "deu" is last so that the indices of the older branches stay where they were.
constexpr int LANGUAGE_CODE_COUNT = 11;
extern const wchar_t* const LanguageCodes[LANGUAGE_CODE_COUNT];

// Branch name for a user language identifier (primary and sub-language compared
// together); anything not listed falls back to "eng".
const wchar_t* LanguageCodeFromLangId(unsigned short langId);
