// Stands in for the update package in the deployment tests. Like the real one it takes
// ` -n "<folder>"`, creates the folder chain and writes QAV.exe there; what else it does comes
// from the environment it inherits, so that each test chooses:
//   REROROR_TEST_PACKAGE_LOG   file that receives its command line, working folder, and
//                              whether it could move its own file aside (moved=1) or not
//   REROROR_TEST_PACKAGE_MODE  "empty": unpack nothing; "sleep": wait 1.5 s first
//   REROROR_TEST_PACKAGE_EXIT  its exit code (default 0)
#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

namespace {

std::string Environment(const char* name)
{
    char value[1024];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

void WriteText(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        std::exit(90);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string TargetFolder(const std::string& commandLine)
{
    const auto option = commandLine.find(" -n \"");
    if (option == std::string::npos)
        return {};
    const auto begin = option + 5;
    const auto end = commandLine.find('"', begin);
    return end == std::string::npos ? std::string() : commandLine.substr(begin, end - begin);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const std::string commandLine = GetCommandLineA();
    const std::string mode = Environment("REROROR_TEST_PACKAGE_MODE");
    if (mode == "sleep")
        Sleep(1500);

    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string aside = std::string(self) + ".moved";
    const bool moved = MoveFileA(self, aside.c_str()) != FALSE;
    if (moved)
        MoveFileA(aside.c_str(), self);

    char folder[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    const std::string log = Environment("REROROR_TEST_PACKAGE_LOG");
    if (!log.empty())
        WriteText(log, "cmdline=" + commandLine + "\ncwd=" + folder +
                           "\nmoved=" + (moved ? "1" : "0") + "\n");

    const std::string target = TargetFolder(commandLine);
    if (target.empty())
        return 91;
    if (mode != "empty") {
        const int created = SHCreateDirectoryExA(nullptr, target.c_str(), nullptr);
        if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS)
            return 92;
        WriteText(target + "\\QAV.exe", "QAV test build");
    }
    return std::atoi(Environment("REROROR_TEST_PACKAGE_EXIT").c_str());
}
