#pragma once
// Command lines for the child programs the workflows start: quoting, the archiver's.

#include <string>

// `argument` quoted so that the C runtime's and 7-Zip's command-line splitting give it back
// unchanged: blanks, quotes and backslashes before quotes included.
std::wstring QuoteArgument(const std::wstring& argument);

// The archiver's arguments: extract `archive` with its folders into `outputFolder`,
// overwriting without questions and never asking for a password.
std::wstring BuildUnpackArguments(const std::wstring& archive, const std::wstring& outputFolder);

// The archiver's command line: extract `archive` with its folders into `outputFolder`,
// overwriting without questions and never asking for a password.
std::wstring BuildUnpackCommandLine(const std::wstring& archiver, const std::wstring& archive,
                                    const std::wstring& outputFolder);
