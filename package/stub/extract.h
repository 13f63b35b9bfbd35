// Unpacking the archive appended to this program into a folder.
#pragma once
#include <windows.h>

#include "exit_codes.h"

namespace stub {

// The ANSI file functions take no longer paths.
constexpr unsigned kPathBytes = MAX_PATH;

// Unpacks every member of the archive that follows this program's image into `folder` (ANSI,
// absolute or relative to the current folder), making it and any missing folder above it.
// On failure `where` (kPathBytes) names the folder or file that failed, or is empty.
Exit extract_package(const char* folder, char* where);

}  // namespace stub
