#include "IniFile.h"

#include "AnsiText.h"
#include "Errors.h"

#include <windows.h>

#include <cstring>

namespace platform {

namespace {
constexpr DWORD ValueBufferSize = 2048;
constexpr DWORD SectionBufferSize = 16384;
}  // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const
{
    char buffer[ValueBufferSize];
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(),
                                                  defaultValue.c_str(), buffer, ValueBufferSize,
                                                  fileName_.c_str());
    return std::string(buffer, length);
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) const
{
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                    fileName_.c_str()))
        throw EIniFileException(Format("%s に書き込めません", fileName_.c_str()));
}

void TIniFile::ReadSection(const std::string& section, TStringList& keys) const
{
    std::string buffer(SectionBufferSize, '\0');
    const DWORD length = GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(),
                                                  SectionBufferSize, fileName_.c_str());
    // A list of NUL-terminated names, ended by an empty one.
    for (DWORD at = 0; at < length && buffer[at] != '\0';) {
        const std::size_t size = std::strlen(buffer.data() + at);
        keys.Add(buffer.substr(at, size));
        at += static_cast<DWORD>(size) + 1;
    }
}

}  // namespace platform
