#include "unattended/RunOptions.h"

#include "framework/AsciiCase.h"
#include "net/ProxyChoice.h"

#include <algorithm>

namespace {

bool IsRemoteOrDevicePath(const std::wstring& path)
{
    const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    return path.size() >= 2 && separator(path[0]) && separator(path[1]);
}

bool IsDevicePath(const std::wstring& path)
{
    return path.size() >= 4 && IsRemoteOrDevicePath(path) && (path[2] == L'.' || path[2] == L'?') &&
           (path[3] == L'\\' || path[3] == L'/');
}

bool IsSuccess(int code)
{
    return code == kExitSuccess || code == kExitRestartRequired || code == kExitRestartStarted;
}

} // namespace

bool ParseRunOptions(const std::vector<std::wstring>& args, const OfferSet& offered,
                     RunOptions& options, std::wstring& wrong)
{
    RunOptions parsed;
    bool quiet = false, passive = false, help = false, selected = false, layout = false;
    OfferSet chosen{};
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
        else if (name == L"offline")
            parsed.bOffline = true;
        else if (name == L"layout" || name == L"source")
        {
            if (equals == std::wstring::npos && i + 1 < args.size())
                value = args[++i];
            // A share is a layout's usual place; a device is no folder.
            if (value.empty() || IsDevicePath(value))
                return false;
            layout = layout || name == L"layout";
            (name == L"layout" ? parsed.layoutFolder : parsed.sourceFolder) = value;
        }
        else if (name == L"proxy")
        {
            if (equals == std::wstring::npos && i + 1 < args.size())
                value = args[++i];
            const auto proxy = net::ParseProxyValue(value);
            if (!proxy)
                return false;
            parsed.proxy = *proxy;
        }
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
            const auto row = std::find_if(g_commandTable.begin(), g_commandTable.end(),
                                          [&](const CommandRow& r) { return name == r.selector; });
            if (row == g_commandTable.end() || !offered[IndexOf(row->command)])
                return false;
            chosen[IndexOf(row->command)] = true;
            selected = true;
        }
        if (equals != std::wstring::npos && name != L"log" && name != L"layout" &&
            name != L"source" && name != L"proxy")
            return false; // only these take a value
    }
    wrong.clear();
    if (quiet && passive)
    {
        wrong = L"/quiet /passive";
        return false;
    }
    // A layout is made without a window, from the driver service.
    if (layout && (passive || !parsed.sourceFolder.empty() || parsed.bOffline))
    {
        wrong = L"/layout";
        return false;
    }
    // Selectors and /log take effect only in an unattended run or a layout.
    parsed.mode = help      ? RunMode::Help
                  : layout  ? RunMode::Layout
                  : quiet   ? RunMode::Quiet
                  : passive ? RunMode::Passive
                            : RunMode::Interactive;
    for (int c = 0; c < kCommandCount; ++c)
        if ((selected ? chosen[c] : offered[c]) &&
            (parsed.mode != RunMode::Layout || g_commandTable[c].endpointPath))
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

std::wstring HelpText()
{
    std::wstring usage = L"Installer.exe [/quiet | /passive | /layout <folder>]";
    std::wstring selectors;
    for (const CommandRow& row : g_commandTable)
    {
        usage += std::wstring(L" [/") + row.selector + L"]";
        selectors += std::wstring(selectors.empty() ? L"/" : L" /") + row.selector;
    }
    return usage +
           L"\n"
           L"              [/log <file>] [/norestart] [/source <folder>] [/offline]\n"
           L"              [/proxy <host:port>]\n\n"
           L"/quiet, /q\tno window: run the commands, wait for each setup\n"
           L"/passive\tthe window shows progress; nothing waits for a click\n" +
           selectors +
           L"\tthe commands to run (none: all offered)\n"
           L"/log <file>\tthis run's log lines also go to that file\n"
           L"/norestart\taccepted: the installer never restarts Windows\n"
           L"/layout <folder>\tno window: every package into the folder, for offline installs\n"
           L"/source <folder>\tinstall the packages of that layout\n"
           L"/offline\tnever ask the driver service (with /quiet: 1612 for a missing package)\n"
           L"/proxy <host:port>\tthe proxy for this run (also http://host:port)\n\n"
           L"Exit codes: 0 success, 3010 restart required, 1641 restart started,\n"
           L"1603 failed, 1612 package not in the layout, 1633 not for this Windows,\n"
           L"1602 cancelled, 1618 another run is active, 87 wrong command line;\n"
           L"a setup's own code otherwise.";
}
