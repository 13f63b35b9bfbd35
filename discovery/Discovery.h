#pragma once
// Finding the installations of the maintenance system: the desktop shortcuts, the recognised
// program names, each installation's program folder and data folder. Only reads.

#include "StringList.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The folder's path ending in exactly one separator; empty when it cannot be had.
std::string GetSpecialFolderPath(int folderId);

// Appends folder path + name of each file (not folder) in the special folder, in search order.
void ListFolderFiles(platform::TStringList& list, int folderId);

// The shortcut's target path; nullopt when the file is no shortcut, cannot be resolved or
// has no file-system path. Raises when the shell-link object cannot be had.
std::optional<std::string> ResolveShortcut(const std::string& path);

// Fills the empty list with the distinct targets of the shortcuts on the user's and the
// all-users desktop.
void CollectShortcutTargets(platform::TStringList& targets);

// Stored names are kept with every byte lowered by 5, so that none stands in plain in the binary.
std::string UnscrambleName(std::string_view stored);
extern const std::array<std::string_view, 8> RecognisedProgramNames;

// The target's base name, in the target's letter case, when the target is "<name>.EXE" for a
// recognised name; nullopt otherwise.
std::optional<std::string> IsRecognisedProgram(const std::string& target);

// The target's folder, without a final separator except at a drive root.
std::string ProgramFolderOf(const std::string& target);

// The DATA key of section PATH in "<program folder>\<base name>.INI", as read;
// "<program folder>\DATA" when the file, section or key is missing.
std::string ResolveDataFolder(const std::string& programFolder, const std::string& baseName);
