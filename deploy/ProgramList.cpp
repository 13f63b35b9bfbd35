#include "Deployment.h"

#include "AnsiText.h"
#include "Errors.h"
#include "IniFile.h"

namespace {

constexpr int MaxProgramEntries = 300;

// Byte by byte, a to z only: double-byte characters are not treated as units.
std::string UpperAsciiBytes(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return text;
}

}  // namespace

void RegisterProgramInList(const std::string& dataFolder)
{
    const platform::TIniFile list(platform::JoinPath(dataFolder, "UpdatePrg\\PrgInfo.ini"));
    platform::TStringList keys;
    list.ReadSection("PRG", keys);
    if (keys.Count() == 0) {
        list.WriteString("PRG", "Name1", "QAV.exe");
        return;
    }
    // The list ends at the first missing or empty key, which is where the entry goes.
    for (int n = 1; n <= MaxProgramEntries; ++n) {
        const std::string key = "Name" + std::to_string(n);
        const std::string value = list.ReadString("PRG", key, "");
        if (value.empty()) {
            list.WriteString("PRG", key, "QAV.exe");
            return;
        }
        if (UpperAsciiBytes(value).find("QAV.EXE") != std::string::npos)
            return;
    }
    throw platform::Exception(
        platform::Format("プログラム一覧 %s に空きがありません (Name1 から Name%d まで使用中)",
                         list.FileName().c_str(), MaxProgramEntries));
}
