#include "localisation/Translation.h"

#include "framework/FileHandle.h"
#include "localisation/ModulePath.h"
#include "log/SupportLog.h"

#include <windows.h>

#include <cwchar>
#include <utility>

namespace {
// Reads the whole file; false when it cannot be opened or read, or holds more than the
// translation file may (nothing beyond that is read).
bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;

    bytes.clear();
    char buffer[16 * 1024];
    for (;;)
    {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr))
            return GetLastError() == ERROR_BROKEN_PIPE; // how a pipe's writer ends the text
        if (read == 0)
            return true;
        bytes.append(buffer, read);
        if (bytes.size() > kMaxTranslationFileBytes)
            return false;
    }
}
} // namespace

CTranslation::CTranslation(std::wstring filePath) : m_strFilePath(std::move(filePath))
{
}

void CTranslation::Load()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    LoadLocked();
}

void CTranslation::LoadLocked()
{
    const std::wstring path =
        m_strFilePath.empty() ? GetModuleRelativePath(L"data\\translation.json") : m_strFilePath;

    std::string bytes;
    bool readOk = false;
    try
    {
        readOk = ReadWholeFile(path, bytes);
    }
    catch (...)
    {
        readOk = false;
    }
    if (!readOk)
    {
        OutputDebugStringA("Read translation file failed!!\r\n");
        LogEvent(L"Texts: cannot read, or larger than " +
                 std::to_wstring(kMaxTranslationFileBytes) + L" bytes: " + path);
        return;
    }

    try
    {
        const std::wstring language = GetLanguageCode();
        if (!ReadTranslationBranch(DecodeUtf8(bytes), language, m_words))
        {
            OutputDebugStringA("Read translation.json failed");
            LogEvent(L"Texts: not valid JSON, or nested deeper than " +
                     std::to_wstring(kMaxTranslationDepth) + L" levels: " + path);
            return;
        }
        m_strLanguage = language;
        wchar_t langId[8];
        swprintf(langId, 8, L"%04X", GetUserDefaultLangID());
        LogEvent(L"Texts: language 0x" + std::wstring(langId) + L", branch \"" + language +
                 L"\" (" + std::to_wstring(m_words.size()) + L" texts) of " + path);
    }
    catch (...)
    {
        OutputDebugStringA("Read translation.json failed");
    }
}

std::wstring CTranslation::GetWord(std::wstring key)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_words.find(key) == m_words.end())
    {
        OutputDebugStringA("Get word failed and reinit\r\n");
        LoadLocked();
    }
    const auto found = m_words.find(key);
    return found != m_words.end() ? found->second : key;
}

std::wstring CTranslation::GetLanguageCode()
{
    return LanguageCodeFromLangId(GetUserDefaultLangID());
}
