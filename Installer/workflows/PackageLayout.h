#pragma once
// Installing from a layout (a folder that /layout made, beside the installer or named by
// /source) instead of the driver service. The manifest decides what runs, so one beside the
// installer counts only when administrators alone may change it; /source is the person's
// choice. The package is copied into a package folder of the working folder while it is
// hashed and checked against the manifest there: nothing changed in the layout after the check
// runs, and only that copy is unpacked or started.

#include "workflows/Commands.h"
#include "workflows/Staging.h"

#include <string>

// Reads the layout's manifest once, at start-up, before any command runs: `folder` (/source),
// or, when empty, the installer's own folder if a manifest lies there that only administrators
// may change. With `offline`, a package the layout cannot give is never fetched.
void UseLayoutSource(const std::wstring& folder, bool offline) noexcept;

enum class LayoutTake
{
    Taken,    // `package` is the layout's, held in its package folder
    NotThere, // no layout, no package for this family, or it failed its check: ask the service
    Offline,  // the same, and /offline forbids the service
};

// Takes the package of `row` for a Windows of `familyCode` from the layout into `package` (as
// PlanPackage and DownloadPackage would leave it). The log says why a package was not taken.
LayoutTake TakePackageFromLayout(const CommandRow& row, int familyCode, FetchedPackage& package);
