// The support log's file: whole lines from threads and processes, rotation, refusals.
#include "log/SupportLog.h"

#include "framework/FileHandle.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

namespace {

constexpr int kLinesPerWriter = 400;
constexpr LogTime kTime{2026, 1, 2, 3, 4, 5, 6};

std::wstring FreshLog(const wchar_t* name)
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + name + L".log";
    DeleteFileW(path.c_str());
    DeleteFileW((std::wstring(folder) + name + L".1.log").c_str());
    return path;
}

std::string ReadAll(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "the log ends inside a line";
    return lines;
}

void WriteLines(const std::wstring& path, const std::wstring& writer, std::uint64_t rotateAt)
{
    for (int i = 0; i < kLinesPerWriter; ++i)
        AppendLogLine(
            path,
            FormatLogLine(kTime, GetCurrentThreadId(),
                          writer + L" " + std::to_wstring(i) + L" " + std::wstring(80, L'x')),
            rotateAt);
}

} // namespace

// The second process of the test below: this program again, told where to write.
TEST(SupportLogWriter, AppendsWhenAsked)
{
    wchar_t path[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"KVZ_LOG_WRITER", path, MAX_PATH) > 0)
        WriteLines(path, L"process", kLogRotateBytes);
}

TEST(SupportLog, LinesFromThreadsAndProcessesStayWhole)
{
    const std::wstring path = FreshLog(L"kvz-log-concurrent");
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=SupportLogWriter.*";
    SetEnvironmentVariableW(L"KVZ_LOG_WRITER", path.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    SetEnvironmentVariableW(L"KVZ_LOG_WRITER", nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back(WriteLines, path, L"thread" + std::to_wstring(t), kLogRotateBytes);
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    const std::regex whole(R"(2026-01-02 03:04:05\.006 \[\d+\] (process|thread\d) \d+ x{80})");
    const std::vector<std::string> lines = Lines(ReadAll(path));
    EXPECT_EQ(lines.size(), 4u * kLinesPerWriter);
    for (const std::string& line : lines)
        ASSERT_TRUE(std::regex_match(line, whole)) << line;
}

TEST(SupportLog, MovesAsideAtItsLimitKeepingOneOldFile)
{
    const std::wstring path = FreshLog(L"kvz-log-rotation");
    constexpr std::uint64_t kLimit = 4096;
    WriteLines(path, L"w", kLimit);
    const std::string current = ReadAll(path);
    const std::string old = ReadAll(path.substr(0, path.size() - 4) + L".1.log");
    EXPECT_LT(current.size(), kLimit + 120);
    EXPECT_GE(old.size(), kLimit);
    EXPECT_LT(old.size(), kLimit + 120);
    // Nothing is lost between the two files: the numbers run on.
    std::vector<int> numbers;
    for (const std::string* text : {&old, &current})
        for (const std::string& line : Lines(*text))
            numbers.push_back(std::stoi(line.substr(line.find(" w ") + 3)));
    ASSERT_FALSE(numbers.empty());
    EXPECT_EQ(numbers.back(), kLinesPerWriter - 1);
    for (std::size_t i = 1; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], numbers[i - 1] + 1);
}

// (Wine run as root writes read-only files, and its file symbolic links are not reported as
// links, so neither is among these.)
TEST(SupportLog, AnUnwritableLogIsRefusedQuietly)
{
    const std::wstring folder = FreshLog(L"kvz-log-folder");
    CreateDirectoryW(folder.c_str(), nullptr);
    // Another program holding every byte of the file: the line is dropped, nothing waits for it.
    const std::wstring held = FreshLog(L"kvz-log-held");
    ASSERT_TRUE(AppendLogLine(held, "first\r\n"));
    FileHandle holder(CreateFileW(held.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    OVERLAPPED everything{};
    ASSERT_TRUE(
        LockFileEx(holder.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &everything));
    // A log that is a second name of a file elsewhere: the elevated installer leaves it be.
    const std::wstring other = FreshLog(L"kvz-log-other");
    ASSERT_TRUE(AppendLogLine(other, "someone else's\r\n"));
    const std::wstring linked = FreshLog(L"kvz-log-linked");
    ASSERT_TRUE(CreateHardLinkW(linked.c_str(), other.c_str(), nullptr));
    for (const std::wstring& path : {folder, FreshLog(L"missing\\kvz-log"), held, linked})
        EXPECT_FALSE(AppendLogLine(path, "line\r\n")) << std::string(path.begin(), path.end());
    EXPECT_EQ(ReadAll(other), "someone else's\r\n");
    RemoveDirectoryW(folder.c_str());
}
