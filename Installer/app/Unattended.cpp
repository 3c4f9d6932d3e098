#include "app/Unattended.h"

#include "framework/AsciiCase.h"

#include <algorithm>

namespace {

struct Selector
{
    const wchar_t* name;
    Command command;
};
constexpr Selector kSelectors[] = {
    {L"wifi", Command::Wifi},
    {L"bluetooth", Command::Bluetooth},
    {L"hotspot", Command::Hotspot},
    {L"receiver", Command::Receiver},
};

bool IsRemoteOrDevicePath(const std::wstring& path)
{
    const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    return path.size() >= 2 && separator(path[0]) && separator(path[1]);
}

bool IsSuccess(int code)
{
    return code == kExitSuccess || code == kExitRestartRequired || code == kExitRestartStarted;
}

} // namespace

bool ParseRunOptions(const std::vector<std::wstring>& args,
                     const std::array<bool, kCommandCount>& offered, RunOptions& options,
                     std::wstring& wrong)
{
    RunOptions parsed;
    bool quiet = false, passive = false, help = false, selected = false;
    std::array<bool, kCommandCount> chosen{};
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const std::wstring& arg = args[i];
        wrong = arg;
        if (arg.size() < 2 || (arg[0] != L'/' && arg[0] != L'-'))
            return false;
        std::wstring name = FoldedAsciiCase(arg.substr(1));
        std::wstring value;
        const std::size_t equals = name.find(L'=');
        if (equals != std::wstring::npos)
        {
            value = arg.substr(1 + equals + 1); // the file name keeps its case
            name.resize(equals);
        }
        if (name == L"quiet" || name == L"q")
            quiet = true;
        else if (name == L"passive")
            passive = true;
        else if (name == L"norestart")
            parsed.bNoRestart = true;
        else if (name == L"?" || name == L"help")
            help = true;
        else if (name == L"log")
        {
            if (equals == std::wstring::npos && i + 1 < args.size())
                value = args[++i];
            // A share, a device or a "\\?\" path: the elevated run writes only to a local drive.
            if (value.empty() || IsRemoteOrDevicePath(value))
                return false;
            parsed.logFile = value;
        }
        else
        {
            const auto selector = std::find_if(std::begin(kSelectors), std::end(kSelectors),
                                               [&](const Selector& s) { return name == s.name; });
            if (selector == std::end(kSelectors) || !offered[static_cast<int>(selector->command)])
                return false;
            chosen[static_cast<int>(selector->command)] = true;
            selected = true;
        }
        if (equals != std::wstring::npos && name != L"log")
            return false; // only /log takes a value
    }
    wrong.clear();
    if (quiet && passive)
    {
        wrong = L"/quiet /passive";
        return false;
    }
    // Selectors and /log take effect only in an unattended run.
    parsed.mode = help      ? RunMode::Help
                  : quiet   ? RunMode::Quiet
                  : passive ? RunMode::Passive
                            : RunMode::Interactive;
    for (int c = 0; c < kCommandCount; ++c)
        if (selected ? chosen[c] : offered[c])
            parsed.commands.push_back(static_cast<Command>(c));
    parsed.bNamed = selected;
    options = std::move(parsed);
    return true;
}

bool TakesPart(const RunOptions& options, Command command, int family)
{
    return options.bNamed || OfferedOnFamily(RowOf(command), family);
}

int CombineExitCodes(const std::vector<int>& codes)
{
    for (const int code : codes)
        if (!IsSuccess(code))
            return code;
    if (std::find(codes.begin(), codes.end(), kExitRestartStarted) != codes.end())
        return kExitRestartStarted;
    if (std::find(codes.begin(), codes.end(), kExitRestartRequired) != codes.end())
        return kExitRestartRequired;
    return kExitSuccess;
}
