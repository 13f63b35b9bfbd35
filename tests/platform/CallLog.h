#pragma once
// The call log that the stand-in libraries of the tests append to: one line per call, in the
// file that REROROR_TEST_CALL_LOG names. Header-only, so that each stand-in library carries
// its own copy and depends on nothing.

#include <windows.h>

#include <cstdlib>
#include <string>

namespace test_standin {

inline void AppendToCallLog(const std::string& line)
{
    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("REROROR_TEST_CALL_LOG", path, sizeof path) == 0)
        return;
    const HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// The number in the environment variable `name` (decimal, or hexadecimal after 0x); 0 if unset.
inline long AnswerFromEnvironment(const char* name)
{
    char value[64] = {};
    if (GetEnvironmentVariableA(name, value, sizeof value) == 0)
        return 0;
    return std::strtol(value, nullptr, 0);
}

}  // namespace test_standin
