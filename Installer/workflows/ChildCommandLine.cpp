#include "workflows/ChildCommandLine.h"

std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;

    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument)
    {
        if (c == L'\\')
        {
            ++backslashes;
            continue;
        }
        // Backslashes count as escapes only right before a quote.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\'); // before the closing quote
    quoted += L'"';
    return quoted;
}

std::wstring BuildUnpackArguments(const std::wstring& archive, const std::wstring& outputFolder)
{
    // The output folder follows -o without a blank, so the switch is quoted as one argument.
    // An empty password given up front: an encrypted archive fails at once instead of waiting
    // for a password that nobody can type.
    return L"x " + QuoteArgument(archive) + L" " + QuoteArgument(L"-o" + outputFolder) + L" -y -p";
}

std::wstring BuildUnpackCommandLine(const std::wstring& archiver, const std::wstring& archive,
                                    const std::wstring& outputFolder)
{
    return QuoteArgument(archiver) + L" " + BuildUnpackArguments(archive, outputFolder);
}
