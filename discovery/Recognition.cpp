#include "Discovery.h"

#include "AnsiText.h"
#include "IniFile.h"

using platform::LastDelimiter;

// The README lists these names in plain; here each byte is 5 below.
const std::array<std::string_view, 8> RecognisedProgramNames = {
    "L<QHI",
    "L<QNQ",
    "L<QMK",
    "L<Q?O",
    "L<QG<PI>CM",
    "L<QH<DIOH@IP",
    "L<QNO<MOHIP",
    "L<QN@D=DH@IP",
};

std::string UnscrambleName(std::string_view stored)
{
    std::string plain(stored);
    for (char& c : plain)
        c = static_cast<char>(static_cast<unsigned char>(c) + 5);
    return plain;
}

namespace {

constexpr std::string_view Separators = "\\:";

std::string FileNameOf(const std::string& path)
{
    const auto separator = LastDelimiter(Separators, path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace

std::optional<std::string> IsRecognisedProgram(const std::string& target)
{
    const std::string fileName = FileNameOf(target);
    const auto dot = LastDelimiter(".", fileName);
    const std::string extension = dot == std::string::npos ? "" : fileName.substr(dot);
    if (!platform::SameFileName(extension, ".EXE"))
        return std::nullopt;
    std::string baseName = fileName.substr(0, dot);
    for (const std::string_view stored : RecognisedProgramNames)
        if (platform::SameFileName(UnscrambleName(stored), baseName))
            return baseName;
    return std::nullopt;
}

std::string ProgramFolderOf(const std::string& target)
{
    const auto separator = LastDelimiter(Separators, target);
    if (separator == std::string::npos)
        return {};
    std::string folder = target.substr(0, separator + 1);
    // Keep the "\" of a drive root (C:\) and of a "\\" pair; drop any other final one.
    if (separator > 0 && target[separator] == '\\' &&
        LastDelimiter(Separators, folder.substr(0, separator)) != separator - 1)
        folder.pop_back();
    return folder;
}

std::string ResolveDataFolder(const std::string& programFolder, const std::string& baseName)
{
    const platform::TIniFile ini(platform::JoinPath(programFolder, baseName + ".INI"));
    return ini.ReadString("PATH", "DATA", platform::JoinPath(programFolder, "DATA"));
}
