#pragma once
// The engine stand-in as tests use it: the engine's DLLPATH value in the test prefix pointing
// at a stand-in's folder (or absent), and the call log that the stand-ins write.

#include "TestFiles.h"

#include <windows.h>

#include <string>
#include <vector>

namespace test_standin {

// A Unix path of the build tree as Wine's drive Z: shows it.
inline std::string OnDriveZ(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// Sets the engine's DLLPATH value for its lifetime (an empty text: no value at all); then puts
// back what was there before, and removes the keys it had to make.
class EngineKey {
public:
    explicit EngineKey(const std::string& folders)
    {
        madeBorland_ = !Exists("SOFTWARE\\Borland");
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, Path, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                            nullptr, &key_, &disposition_) != ERROR_SUCCESS)
            return;
        char value[2048] = {};
        DWORD size = sizeof value - 1;
        DWORD type = 0;
        hadValue_ = RegQueryValueExA(key_, "DLLPATH", nullptr, &type,
                                     reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS;
        previous_ = value;
        if (folders.empty())
            RegDeleteValueA(key_, "DLLPATH");
        else
            Set(folders);
    }
    EngineKey(const EngineKey&) = delete;
    EngineKey& operator=(const EngineKey&) = delete;
    ~EngineKey()
    {
        if (!key_)
            return;
        if (hadValue_)
            Set(previous_);
        else
            RegDeleteValueA(key_, "DLLPATH");
        RegCloseKey(key_);
        if (disposition_ == REG_CREATED_NEW_KEY)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, Path);
        if (madeBorland_)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Borland");
    }

private:
    static constexpr const char* Path = "SOFTWARE\\Borland\\Database Engine";

    static bool Exists(const char* path)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    void Set(const std::string& value) const
    {
        RegSetValueExA(key_, "DLLPATH", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    }

    HKEY key_ = nullptr;
    DWORD disposition_ = 0;
    bool madeBorland_ = false;
    bool hadValue_ = false;
    std::string previous_;
};

// A fresh call log in a temporary folder, named to the stand-ins through the environment,
// which started programs inherit.
class CallLog {
public:
    CallLog() : path_(folder_ / "calls.log")
    {
        SetEnvironmentVariableA("REROROR_TEST_CALL_LOG", path_.c_str());
    }
    CallLog(const CallLog&) = delete;
    CallLog& operator=(const CallLog&) = delete;
    ~CallLog() { SetEnvironmentVariableA("REROROR_TEST_CALL_LOG", nullptr); }

    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        if (!testing_support::FileExists(path_))
            return lines;
        const std::string text = testing_support::ReadBytes(path_);
        std::size_t at = 0;
        while (at < text.size()) {
            const std::size_t end = text.find('\n', at);
            lines.push_back(text.substr(at, end - at));
            at = end + 1;
        }
        return lines;
    }
    void Clear() const { DeleteFileA(path_.c_str()); }

private:
    testing_support::TempFolder folder_;
    std::string path_;
};

// Sets an environment variable for its lifetime.
class Environment {
public:
    Environment(std::string name, const std::string& value) : name_(std::move(name))
    {
        SetEnvironmentVariableA(name_.c_str(), value.c_str());
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;
    ~Environment() { SetEnvironmentVariableA(name_.c_str(), nullptr); }

private:
    std::string name_;
};

}  // namespace test_standin
