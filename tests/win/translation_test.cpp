#include "localisation/ModulePath.h"
#include "localisation/Translation.h"

#include "DebugOutputCapture.h"
#include "framework/FileHandle.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {
using Lines = std::vector<std::string>;

const char kMiss[] = "Get word failed and reinit\r\n";
const char kNoFile[] = "Read translation file failed!!\r\n";
const char kBadJson[] = "Read translation.json failed";

std::wstring ScratchDir()
{
    const char* tmp = std::getenv("KVZ_TEST_TMP");
    wchar_t dir[MAX_PATH] = {};
    if (tmp && *tmp)
        MultiByteToWideChar(CP_ACP, 0, tmp, -1, dir, MAX_PATH);
    else
        GetTempPathW(MAX_PATH, dir);
    std::wstring path = dir;
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path;
}

class TranslationFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_path = ScratchDir() + L"translation_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(++s_counter) + L".json";
        ASSERT_TRUE(m_capture.Ready());
    }
    void TearDown() override { DeleteFileW(m_path.c_str()); }

    void WriteFile(const std::string& bytes)
    {
        std::ofstream out(m_path.c_str(), std::ios::binary | std::ios::trunc);
        out << bytes;
        ASSERT_TRUE(out.good());
    }

    std::wstring m_path;
    DebugOutputCapture m_capture;
    static int s_counter;
};
int TranslationFileTest::s_counter = 0;

// Every key of the "eng" branch, texts "<key> text", after a byte-order mark.
std::string FullEnglishFile()
{
    std::string json = "\xEF\xBB\xBF{\"fr\":{\"INSTALL_WIFI\":\"Pilote\"},\"eng\":{";
    for (int i = 0; i < WORD_ID_COUNT; ++i)
    {
        const std::wstring key = WordKeys[i];
        const std::string narrow(key.begin(), key.end());
        json += (i ? "," : "") + std::string("\"") + narrow + "\":\"" + narrow + " text\"";
    }
    return json + "}}";
}

TEST_F(TranslationFileTest, LoadedCatalogueAnswersWithoutReloading)
{
    WriteFile(FullEnglishFile());
    CTranslation translation(m_path);
    translation.Load();
    for (const wchar_t* key : WordKeys)
        EXPECT_EQ(std::wstring(key) + L" text", translation.GetWord(key));
    EXPECT_EQ(Lines{}, m_capture.Lines());
}

TEST_F(TranslationFileTest, MissingFileGivesKeyAndTracesEveryMiss)
{
    CTranslation translation(m_path);
    translation.Load();
    EXPECT_EQ(L"INSTALL_WIFI", translation.GetWord(WordKeys[INSTALL_WIFI]));
    EXPECT_EQ(L"INSTALL_WIFI", translation.GetWord(WordKeys[INSTALL_WIFI]));
    EXPECT_EQ((Lines{kNoFile, kMiss, kNoFile, kMiss, kNoFile}), m_capture.Lines());
}

TEST_F(TranslationFileTest, MissingBranchIsSilentUntilLookup)
{
    WriteFile("{\"fr\":{\"INSTALL_WIFI\":\"Pilote\"}}");
    CTranslation translation(m_path);
    translation.Load();
    EXPECT_EQ(Lines{}, m_capture.Lines());
    EXPECT_EQ(L"INSTALL_WIFI", translation.GetWord(WordKeys[INSTALL_WIFI]));
    EXPECT_EQ(Lines{kMiss}, m_capture.Lines());
}

TEST_F(TranslationFileTest, EmptyTextIsAnAnswer)
{
    WriteFile("{\"eng\":{\"INSTALL_WIFI\":\"\",\"INSTALL_BT\":7}}");
    CTranslation translation(m_path);
    translation.Load();
    EXPECT_EQ(L"", translation.GetWord(WordKeys[INSTALL_WIFI]));
    EXPECT_EQ(L"7", translation.GetWord(WordKeys[INSTALL_BT]));
    EXPECT_EQ(Lines{}, m_capture.Lines());
}

TEST_F(TranslationFileTest, MalformedFileKeepsEarlierTexts)
{
    WriteFile("{\"eng\":{\"INSTALL_WIFI\":\"Wi-Fi\"}}");
    CTranslation translation(m_path);
    translation.Load();
    WriteFile("{\"eng\":{\"INSTALL_WIFI\":\"Changed\",\"INSTALL_BT\":\"BT\"");
    EXPECT_EQ(L"INSTALL_BT", translation.GetWord(WordKeys[INSTALL_BT]));
    EXPECT_EQ(L"Wi-Fi", translation.GetWord(WordKeys[INSTALL_WIFI]));
    EXPECT_EQ((Lines{kMiss, kBadJson}), m_capture.Lines());
}

TEST_F(TranslationFileTest, MissPicksUpEditedFile)
{
    WriteFile("{\"eng\":{\"INSTALL_WIFI\":\"Old\"}}");
    CTranslation translation(m_path);
    translation.Load();
    WriteFile("{\"eng\":{\"INSTALL_WIFI\":\"New\",\"INSTALL_BT\":\"Bluetooth\"}}");
    EXPECT_EQ(L"Old", translation.GetWord(WordKeys[INSTALL_WIFI])); // a hit does not reread
    EXPECT_EQ(L"Bluetooth", translation.GetWord(WordKeys[INSTALL_BT]));
    EXPECT_EQ(L"New", translation.GetWord(WordKeys[INSTALL_WIFI]));
    EXPECT_EQ(Lines{kMiss}, m_capture.Lines());
}

// The message box never calls Load: its first lookup fills the catalogue.
TEST_F(TranslationFileTest, UnloadedCatalogueLoadsOnFirstLookup)
{
    WriteFile(FullEnglishFile());
    for (int showing = 0; showing < 2; ++showing)
    {
        CTranslation translation(m_path);
        EXPECT_EQ(L"HINT_NO_INTERNET text", translation.GetWord(WordKeys[HINT_NO_INTERNET]));
    }
    EXPECT_EQ((Lines{kMiss, kMiss}), m_capture.Lines());
}

TEST_F(TranslationFileTest, DecodesUtf8Texts)
{
    WriteFile("{\"eng\":{\"INSTALL_WIFI\":\"caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80\"}}");
    CTranslation translation(m_path);
    translation.Load();
    EXPECT_EQ(L"caf\u00E9 \u4E2D \uFFFD", translation.GetWord(WordKeys[INSTALL_WIFI]));
}

// A file beyond the reader's bounds gives the keys as texts, as a missing one does, and never
// ends the process: a larger one is not read at all, a deeper one not parsed.
TEST_F(TranslationFileTest, FilesBeyondTheBoundsGiveTheKeys)
{
    const std::string english = "{\"eng\":{\"INSTALL_WIFI\":\"Wi-Fi\"}}";
    const std::size_t padding = kMaxTranslationFileBytes - english.size();
    const struct
    {
        const char* what;
        std::string bytes;
        std::wstring word;
        Lines lines;
    } cases[] = {
        {"the largest file read", english + std::string(padding, ' '), L"Wi-Fi", {}},
        {"a byte larger",
         english + std::string(padding + 1, ' '),
         L"INSTALL_WIFI",
         {kNoFile, kMiss, kNoFile}},
        {"100000 brackets deep",
         std::string(100000, '['),
         L"INSTALL_WIFI",
         {kBadJson, kMiss, kBadJson}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        WriteFile(c.bytes);
        const std::size_t before = m_capture.Lines().size();
        CTranslation translation(m_path);
        translation.Load();
        EXPECT_EQ(c.word, translation.GetWord(WordKeys[INSTALL_WIFI]));
        const Lines lines = m_capture.Lines();
        EXPECT_EQ(c.lines, Lines(lines.begin() + before, lines.end()));
    }
}

// A lookup must wait while another thread's miss reloads the catalogue. The file is a pipe
// that this test answers, so the reload is held open for as long as the test wants.
TEST(TranslationThreads, LookupWaitsForReloadInProgress)
{
    const std::wstring pipeName =
        L"\\\\.\\pipe\\kvz_translation_" + std::to_wstring(GetCurrentProcessId());
    auto openPipe = [&] {
        return FileHandle(CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_OUTBOUND,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
    };
    auto waitForReader = [](const FileHandle& pipe) {
        return ConnectNamedPipe(pipe.get(), nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
    };
    // Closing the server end after the reader has the data ends the reader's text.
    auto serve = [](FileHandle& pipe, const std::string& json) {
        DWORD written = 0;
        WriteFile(pipe.get(), json.data(), static_cast<DWORD>(json.size()), &written, nullptr);
        FlushFileBuffers(pipe.get());
        pipe.reset();
    };

    FileHandle pipe = openPipe();
    ASSERT_TRUE(pipe);
    CTranslation translation(pipeName);
    std::thread loader([&] { translation.Load(); });
    const bool loaderConnected = waitForReader(pipe);
    serve(pipe, "{\"eng\":{\"INSTALL_WIFI\":\"Old\"}}");
    loader.join();
    ASSERT_TRUE(loaderConnected);

    pipe = openPipe();
    ASSERT_TRUE(pipe);

    std::wstring missed;
    std::thread first([&] { missed = translation.GetWord(L"NOT_IN_FILE"); });
    const bool missConnected = waitForReader(pipe); // the miss is reloading now

    std::atomic<bool> done{false};
    std::wstring hit;
    std::thread second([&] {
        hit = translation.GetWord(WordKeys[INSTALL_WIFI]);
        done = true;
    });
    // Give an unserialised lookup time to finish with the old text.
    for (int i = 0; i < 30 && !done; ++i)
        Sleep(10);
    serve(pipe, "{\"eng\":{\"INSTALL_WIFI\":\"New\"}}");
    first.join();
    second.join();

    ASSERT_TRUE(missConnected);
    EXPECT_EQ(L"NOT_IN_FILE", missed);
    EXPECT_EQ(L"New", hit) << "the lookup did not wait for the reload";
}

TEST(ModulePath, BuildsPathsBesideTheExecutable)
{
    wchar_t exe[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
    const std::wstring full = exe;
    const std::wstring folder = full.substr(0, full.rfind(L'\\') + 1);

    EXPECT_EQ(folder, GetModuleRelativePath(L""));
    EXPECT_EQ(folder + L"data\\translation.json", GetModuleRelativePath(L"data\\translation.json"));
    EXPECT_EQ(full, GetModulePath());
    // Longer than MAX_PATH: whole, never cut.
    const std::wstring name(MAX_PATH, L'a');
    EXPECT_EQ(folder + name, GetModuleRelativePath(name));
}

// The catalogue built without a path reads data\translation.json beside the executable, a
// copy of the shipped file.
TEST(ShippedCatalogue, DefaultLanguageReadsBesideExecutable)
{
    DebugOutputCapture capture;
    CTranslation translation;
    translation.Load();
    EXPECT_EQ(L"eng", translation.GetLanguageCode());
    EXPECT_EQ(L"Install Wi-Fi Driver", translation.GetWord(WordKeys[INSTALL_WIFI]));
    EXPECT_EQ(Lines{}, capture.Lines());
}

// Registered per user language: the shipped branch for that language is what the catalogue
// returns.
TEST(EnvLanguage, CatalogueFollowsUserLanguage)
{
    const char* expected = std::getenv("KVZ_EXPECT_LANGUAGE");
    ASSERT_NE(expected, nullptr);
    CTranslation translation;
    const std::wstring code = translation.GetLanguageCode();
    EXPECT_EQ(std::string(expected), std::string(code.begin(), code.end()))
        << std::hex << GetUserDefaultLangID();

    std::ifstream in(GetModuleRelativePath(L"data\\translation.json").c_str(), std::ios::binary);
    WordMap shipped;
    ASSERT_TRUE(ReadTranslationBranch(
        DecodeUtf8(std::string(std::istreambuf_iterator<char>(in), {})), code, shipped));
    for (const wchar_t* key : WordKeys)
    {
        const std::wstring word = translation.GetWord(key);
        EXPECT_EQ(shipped[key], word);
        EXPECT_NE(key, word);
    }
}
} // namespace
