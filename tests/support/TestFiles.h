#pragma once
// Fixtures on the real file system of the test prefix: temporary folders, files, shortcuts.

#include <string>

namespace testing_support {

// A new folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(const std::string& leaf = "");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const;

private:
    std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
void MakeFolder(const std::string& path);
// Deletes the folder's contents, and with RemoveTree the folder itself.
void EmptyFolder(const std::string& path);
void RemoveTree(const std::string& path);

// A real .lnk written by the shell-link object.
void WriteShortcut(const std::string& linkPath, const std::string& targetPath);

}  // namespace testing_support
