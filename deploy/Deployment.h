#pragma once
// Bringing the update into one data folder: the package resource written as
// "<data folder>\<name>.EXE", started into the staging folder and waited for, removed again,
// and the main program listed in "<data folder>\UpdatePrg\PrgInfo.ini".

#include "Handles.h"

#include <string>
#include <string_view>

// Writes the resource "EXE"/<packageName> of the running program to
// "<dataFolder>\<packageName>.EXE". Returns that file opened again for reading, sharing only
// reading, its bytes checked against the resource: while the hold is open Windows can start
// the file, but nobody can write, move or delete it.
platform::FileHandle ExtractUpdatePackage(const std::string& dataFolder,
                                          const std::string& packageName);

// Starts "<dataFolder>\<packageFileName>" with ` -n "<stagingFolder>"` and waits without limit
// for it to end; the hold is closed once it has. A package that cannot be started or that
// exits with a code other than 0 is removed and raises.
void RunUpdatePackage(const std::string& packageFileName, const std::string& dataFolder,
                      const std::string& stagingFolder, platform::FileHandle hold);

// Removes "<dataFolder>\<packageName>.EXE" where it can; reports nothing.
void DeleteUpdatePackage(const std::string& dataFolder, const std::string& packageName);

// Makes section PRG of "<dataFolder>\UpdatePrg\PrgInfo.ini" list "QAV.exe".
void RegisterProgramInList(const std::string& dataFolder);

// Opens `path` for reading, sharing only reading, and checks that it holds exactly `expected`;
// the file is removed when it does not.
platform::FileHandle HoldPackageFile(const std::string& path, std::string_view expected);
