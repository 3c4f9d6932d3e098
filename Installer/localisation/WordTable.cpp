#include "localisation/WordTable.h"

const wchar_t* const WordKeys[WORD_ID_COUNT] = {
    L"DL_RX_FAILED",        L"RX_INSTALLER_MISS", L"DL_BT_FAILED",     L"BT_INSTALLER_MISS",
    L"WIFI_INSTALLED",      L"HINT_DL_BT",        L"HINT_NO_INTERNET", L"INSTALL_WIFI",
    L"INSTALL_BT",          L"INSTALL_RX",        L"INSTALL_HOTSPOT",  L"SETUP_NOT_STARTED",
    L"INSTALLER_UNTRUSTED",
};

const wchar_t* const LanguageCodes[LANGUAGE_CODE_COUNT] = {
    L"eng", L"cht", L"chs", L"jpn", L"kor", L"fr", L"ita", L"por", L"rus", L"es", L"deu",
};

namespace {
enum LanguageIndex
{
    ENG,
    CHT,
    CHS,
    JPN,
    KOR,
    FR,
    ITA,
    POR,
    RUS,
    ES,
    DEU
};

struct LangIdRow
{
    unsigned short langId;
    LanguageIndex language;
};

const LangIdRow kLangIdRows[] = {
    {0x0404, CHT}, {0x0C04, CHT}, {0x0804, CHS}, {0x1004, CHS}, {0x0411, JPN}, {0x0412, KOR},
    {0x040C, FR},  {0x080C, FR},  {0x0C0C, FR},  {0x100C, FR},  {0x140C, FR},  {0x0407, DEU},
    {0x0807, DEU}, {0x0C07, DEU}, {0x1007, DEU}, {0x1407, DEU}, {0x0410, ITA}, {0x0810, ITA},
    {0x0416, POR}, {0x0816, POR}, {0x0419, RUS},
};
} // namespace

const wchar_t* LanguageCodeFromLangId(unsigned short langId)
{
    // Spanish: every sub-language 0x01..0x14 of primary language 0x0A.
    const unsigned primary = langId & 0x3FFu;
    const unsigned sub = langId >> 10;
    if (primary == 0x0A && sub >= 0x01 && sub <= 0x14)
        return LanguageCodes[ES];

    for (const LangIdRow& row : kLangIdRows)
    {
        if (row.langId == langId)
            return LanguageCodes[row.language];
    }
    return LanguageCodes[ENG];
}
