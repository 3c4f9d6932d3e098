#include "storage/PathComponents.h"
#include "storage/WorkFolderLayout.h"
#include "workflows/ChildCommandLine.h"
#include "workflows/PackageName.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

TEST(PackageFileName, IsTheLastPathSegmentWithoutQueryOrFragment)
{
    const struct
    {
        const wchar_t* url;
        const wchar_t* name;
    } cases[] = {
        {L"https://dl.example.com/bt/win10/RTK_BT_8821CU.zip", L"RTK_BT_8821CU.zip"},
        {L"https://dl.example.com/app/VelmoraRX-Setup.exe?token=abc/def", L"VelmoraRX-Setup.exe"},
        {L"https://dl.example.com/app/Setup.exe#part/2", L"Setup.exe"},
        {L"http://dl.example.com:8080/a/b/c/Driver%20Pack.zip", L"Driver%20Pack.zip"},
        {L"https://dl.example.com/setup one.exe", L"setup one.exe"},
        {L"Setup.exe", L"Setup.exe"},
    };
    for (const auto& c : cases)
    {
        auto name = PackageFileNameFromUrl(c.url);
        ASSERT_TRUE(name) << c.url;
        EXPECT_EQ(*name, c.name);
    }
}

TEST(PackageFileName, RefusesNamesThatCouldEscapeOrMisnameTheFile)
{
    const wchar_t* hostile[] = {
        L"https://dl.example.com/",
        L"https://dl.example.com",
        L"https://dl.example.com/pkg/.",
        L"https://dl.example.com/pkg/..",
        L"https://dl.example.com/a\\..\\..\\evil.exe",
        L"https://dl.example.com/C:evil.exe",
        L"https://dl.example.com/evil.exe:stream",
        L"https://dl.example.com/a*b.exe",
        L"https://dl.example.com/a\"b.exe",
        L"https://dl.example.com/a<b>.exe",
        L"https://dl.example.com/a|b.exe",
        L"https://dl.example.com/tab\there.exe",
        L"https://dl.example.com/Setup.exe.",
        L"https://dl.example.com/Setup.exe ",
        L"https://dl.example.com/CON",
        L"https://dl.example.com/nul.zip",
        L"https://dl.example.com/Com1.exe",
        L"https://dl.example.com/LPT9",
        L"https://dl.example.com/aux .txt",
        L"https://dl.example.com/COM\u00B9",
        L"https://dl.example.com/conin$",
    };
    for (const wchar_t* url : hostile)
    {
        EXPECT_FALSE(PackageFileNameFromUrl(url)) << std::string(url, url + wcslen(url));
    }
    // Encoded separators stay a literal, harmless name: nothing decodes them.
    EXPECT_EQ(PackageFileNameFromUrl(L"https://h/..%5c..%5cevil.exe?x"), L"..%5c..%5cevil.exe");
    EXPECT_FALSE(PackageFileNameFromUrl(L"https://h/" + std::wstring(201, L'a')));
    EXPECT_TRUE(PackageFileNameFromUrl(L"https://h/" + std::wstring(200, L'a')));
    EXPECT_TRUE(PackageFileNameFromUrl(L"https://h/CONSOLE.exe")); // only exact device names
    EXPECT_TRUE(PackageFileNameFromUrl(L"https://h/COM10.exe"));
}

TEST(QuoteArgument, RoundTripsThroughTheRuntimeSplittingRules)
{
    const struct
    {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"C:\\data\\7za.exe", L"C:\\data\\7za.exe"},
        {L"C:\\Program Files\\KVZ\\data\\7za.exe", L"\"C:\\Program Files\\KVZ\\data\\7za.exe\""},
        {L"", L"\"\""},
        {L"a \"quoted\" word", L"\"a \\\"quoted\\\" word\""},
        {L"C:\\dir with blank\\", L"\"C:\\dir with blank\\\\\""},
        {L"x\\\\\"y z", L"\"x\\\\\\\\\\\"y z\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QuoteArgument(c.in), c.out) << c.in;
}

TEST(QuoteArgument, BuildsTheArchiverLine)
{
    EXPECT_EQ(BuildUnpackCommandLine(L"C:\\Inst\\data\\7za.exe",
                                     L"C:\\Users\\Ann Lee\\AppData\\Local\\KVZ7300\\bt.zip",
                                     L"C:\\Users\\Ann Lee\\AppData\\Local\\KVZ7300"),
              L"C:\\Inst\\data\\7za.exe x \"C:\\Users\\Ann Lee\\AppData\\Local\\KVZ7300\\bt.zip\" "
              L"\"-oC:\\Users\\Ann Lee\\AppData\\Local\\KVZ7300\" -y -p");
}

TEST(WorkFolderLayout, PackageFoldersNeverTakeTheArchivesName)
{
    const struct
    {
        const wchar_t* file;
        const wchar_t* folder;
    } cases[] = {
        {L"RealtekBT-8821CU-win7.zip", L"RealtekBT-8821CU-win7"},
        {L"driver.tar.gz", L"driver.tar"},
        {L"Setup One.7z", L"Setup One"},
        {L"package", L"package_files"},
        {L".zip", L".zip_files"},
        {L"abc..zip", L"abc..zip_files"}, // "abc." would name "abc"
        {L"abc .zip", L"abc .zip_files"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PackageFolderName(c.file), c.folder) << c.file;
}

TEST(WorkFolderLayout, StartUpRemovesFoldersAndPartialDownloadsOnly)
{
    EXPECT_TRUE(IsWorkFolderLeftover(L"RealtekBT-8821CU-win7", true));
    EXPECT_TRUE(IsWorkFolderLeftover(L"Installer.log", true)); // a folder, whatever its name
    EXPECT_TRUE(IsWorkFolderLeftover(L"bt.zip.part", false));
    EXPECT_TRUE(IsWorkFolderLeftover(L"bt.zip.PART", false));
    for (const wchar_t* kept : {L"Installer.log", L"Installer.1.log", L"bt.zip", L"Setup.exe",
                                L".part", L"bt.zip.part.txt", L"part"})
        EXPECT_FALSE(IsWorkFolderLeftover(kept, false)) << kept;
    // No download may take the log's place.
    for (const wchar_t* log : {L"Installer.log", L"INSTALLER.1.LOG"})
        EXPECT_TRUE(IsReservedWorkFolderName(log)) << log;
    for (const wchar_t* name : {L"Installer.exe", L"Installer.2.log", L"bt.zip"})
        EXPECT_FALSE(IsReservedWorkFolderName(name)) << name;
}

TEST(PathComponents, ListsEachComponentBelowTheBase)
{
    const std::wstring base = L"C:\\Users\\Ann\\AppData\\Local";
    using Paths = std::vector<std::wstring>;
    EXPECT_EQ(
        ComponentPathsBelow(base, base + L"\\KVZ7300\\bt\\Setup.exe"),
        (Paths{base + L"\\KVZ7300", base + L"\\KVZ7300\\bt", base + L"\\KVZ7300\\bt\\Setup.exe"}));
    EXPECT_EQ(ComponentPathsBelow(base, base), Paths{});
    EXPECT_EQ(ComponentPathsBelow(base + L"\\", base + L"\\KVZ7300"), Paths{base + L"\\KVZ7300"});
    EXPECT_EQ(ComponentPathsBelow(L"c:\\users\\ann\\appdata\\local", base + L"\\KVZ7300"),
              Paths{base + L"\\KVZ7300"});
    const std::wstring refused[] = {
        L"C:\\Users\\Ann\\AppData\\Local2\\KVZ7300",
        L"C:\\Users\\Ann\\AppData",
        L"D:\\Users\\Ann\\AppData\\Local\\KVZ7300",
        base + L"\\KVZ7300\\..\\..\\Roaming",
        base + L"\\.\\KVZ7300",
        base + L"\\KVZ7300\\",
        base + L"\\\\KVZ7300",
        base + L"\\KVZ7300/../x",
        base + L"\\KVZ7300\\Installer.log:stream",
        L"\\\\?\\" + base + L"\\KVZ7300",
    };
    for (const std::wstring& path : refused)
    {
        EXPECT_FALSE(ComponentPathsBelow(base, path)) << std::string(path.begin(), path.end());
        // What is not below the held working folder is never opened from its handle.
        EXPECT_FALSE(RelativePathBelow(base, path)) << std::string(path.begin(), path.end());
    }
    EXPECT_FALSE(ComponentPathsBelow(L"", L"\\KVZ7300"));
    EXPECT_EQ(RelativePathBelow(base, base + L"\\KVZ7300\\bt\\Setup.exe"),
              L"KVZ7300\\bt\\Setup.exe");
    EXPECT_FALSE(RelativePathBelow(base, base));
}

// The file /log names is written with administrator rights: only a full path on a drive, never
// a share, a device or a path the checks could read otherwise.
TEST(PathComponents, CommandLineLogsLieOnADrive)
{
    for (const wchar_t* path : {L"C:\\Logs\\run.log", L"z:\\a b\\KVZ Run.log", L"D:\\x"})
        EXPECT_TRUE(IsLocalDrivePath(path)) << std::string(path, path + wcslen(path));
    for (const wchar_t* path :
         {L"run.log", L"C:run.log", L"\\\\server\\share\\run.log", L"\\\\.\\NUL",
          L"\\\\?\\C:\\run.log", L"\\\\.\\C:\\run.log", L"C:\\Logs\\", L"C:\\", L"C:\\a\\..\\b.log",
          L"C:\\a\\.\\b.log", L"C:\\run.log:stream", L"C:\\a\\\\b.log", L"1:\\run.log",
          L"C:/run.log"})
        EXPECT_FALSE(IsLocalDrivePath(path)) << std::string(path, path + wcslen(path));
}

// Under LocalSystem (deployment tools) the working folder lies in ProgramData, which a 32-bit
// program and a 64-bit setup both see as the same folder; otherwise in the user's profile.
TEST(WorkFolderLayout, TheAccountDecidesWhereTheWorkingFolderLies)
{
    const std::wstring local = L"C:\\Users\\Ann\\AppData\\Local";
    const std::wstring common = L"C:\\ProgramData";
    EXPECT_EQ(WorkFolderBase(false, local, common), local);
    EXPECT_EQ(WorkFolderBase(true, local, common), common);
    // One copy folder per installer process, never the name of a package's folder.
    EXPECT_NE(ProgramCopyFolderName(L"7za.exe", 1), ProgramCopyFolderName(L"7za.exe", 2));
    EXPECT_NE(ProgramCopyFolderName(L"WifiAutoInstallSetup.exe", 1),
              PackageFolderName(L"WifiAutoInstallSetup.exe"));
}

} // namespace
