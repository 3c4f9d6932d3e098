#pragma once
// The programs that ship in data\ beside the installer, as the build made them. The folder is
// the user's to change (a DLL planted there, a junction swapped under it), so each is copied
// into a folder of its own in the working folder, hashed while it is copied, and started from
// that copy only.

#include "framework/FileHandle.h"
#include "net/Sha256Digest.h"
#include "storage/WorkFolder.h"

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
    Changed, // not the file the build shipped, or no copy could be made
};

struct ShippedCopy
{
    CPackageFolder folder; // its own, with the Temp folder it runs with
    std::wstring path;     // the copy
    FileHandle held;       // the copy, held for reading until its process has run
};

// Reads the program through a handle that nobody can write, rename or delete meanwhile,
// writes what it reads into a folder of its own in the working folder while hashing it, and
// holds the copy when the digest is the build's. The support log says why there is none.
ShippedCheck CopyShippedProgram(const ShippedProgram& program, ShippedCopy& copy);
