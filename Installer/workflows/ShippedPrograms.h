#pragma once
// The programs that ship in data\ beside the installer, as the build made them. The folder is
// the user's to change, so each is started only when it is still that very file.

#include "framework/FileHandle.h"
#include "net/Sha256Digest.h"

#include <string>

struct ShippedProgram
{
    const wchar_t* relativePath; // beside the executable
    net::Sha256Digest sha256;    // recorded by the build
};

// Written by the build (ShippedPrograms.cpp in its tree).
extern const ShippedProgram g_shippedArchiver;
extern const ShippedProgram g_shippedWifiSetup;

enum class ShippedCheck
{
    Held,
    Missing, // not there, or it could not be opened
    Changed, // not the file the build shipped
};

// Opens the program so that nobody can write, rename or delete it and checks its digest
// through that handle; `held` keeps it so until its process runs. The support log says why a
// program is not held.
ShippedCheck HoldShippedProgram(const ShippedProgram& program, std::wstring& path,
                                FileHandle& held);
