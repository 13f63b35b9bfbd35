#pragma once
// An INI file read and written only through the system's profile functions, each call complete
// in itself: nothing is cached, nothing is read on opening.

#include "StringList.h"

#include <string>

namespace platform {

class TIniFile {
public:
    explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

    const std::string& FileName() const noexcept { return fileName_; }

    // The key's value, also an empty one, when the key is present; `defaultValue` when the
    // file, the section or the key is missing. At most 2047 characters.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // Creates a missing file, not a missing folder; raises "<file> に書き込めません" when refused.
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) const;
    // Appends the section's key names, in file order.
    void ReadSection(const std::string& section, TStringList& keys) const;

private:
    std::string fileName_;
};

}  // namespace platform
