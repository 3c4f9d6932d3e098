#pragma once
// Where a windowless run says how it went: the output a tool gave it, or else the console it
// was started from.

#include "framework/FileHandle.h"

#include <string>

class CParentConsole
{
public:
    CParentConsole() noexcept;
    // One line; nothing when there is nowhere to write.
    void Say(const std::wstring& line) const noexcept;

private:
    FileHandle m_out;
};
