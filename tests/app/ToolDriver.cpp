#include "ToolDriver.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The tool as built, seen from inside Wine.
std::string ToolPath()
{
    return PathOnDriveZ(REROROR_EXE);
}

struct Search {
    DWORD process;
    std::string windowClass;
    std::string caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search.process && IsWindowVisible(window) &&
        ClassOf(window) == search.windowClass && TextOf(window) == search.caption) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

ToolDriver::ToolDriver(const std::string& currentFolder)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"";
    commandLine += ToolPath();
    commandLine += '"';
    auto start = [&] {
        return CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup,
                              &process_) != FALSE;
    };
    // Wine has been seen to refuse a start once with ERROR_INTERNAL_ERROR under load.
    if (!start() && !(GetLastError() == ERROR_INTERNAL_ERROR && (Sleep(500), start())))
        ADD_FAILURE() << "cannot start " << ToolPath() << ": " << GetLastError();
    else
        WaitForInputIdle(process_.hProcess, 10000);
}

ToolDriver::~ToolDriver()
{
    if (!process_.hProcess)
        return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

HWND ToolDriver::WaitForWindow(const std::string& windowClass, const std::string& caption,
                               DWORD milliseconds) const
{
    const DWORD start = GetTickCount();
    do {
        Search search{process_.dwProcessId, windowClass, caption, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(50);
    } while (GetTickCount() - start < milliseconds);
    return nullptr;
}

bool ToolDriver::HasWindow(const std::string& windowClass, const std::string& caption) const
{
    return WaitForWindow(windowClass, caption, 0) != nullptr;
}

DWORD ToolDriver::WaitForExit(DWORD milliseconds) const
{
    if (WaitForSingleObject(process_.hProcess, milliseconds) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

HWND ToolDriver::FocusOf(HWND window) const
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

std::string PathOnDriveZ(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string TextOf(HWND window)
{
    char text[1024] = {};
    const int length = GetWindowTextA(window, text, sizeof text);
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string ClassOf(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

namespace {

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

}  // namespace

HWND ChildWithText(HWND parent, const std::string& text)
{
    for (HWND child : Children(parent))
        if (TextOf(child) == text)
            return child;
    return nullptr;
}

std::string StaticText(HWND dialog)
{
    for (HWND child : Children(dialog))
        if (_stricmp(ClassOf(child).c_str(), "Static") == 0 && !TextOf(child).empty())
            return TextOf(child);
    return {};
}

void Press(HWND button)
{
    PostMessageA(button, BM_CLICK, 0, 0);
}

void PressKey(const ToolDriver& tool, HWND window, WORD key)
{
    const HWND focus = tool.FocusOf(window);
    PostMessageA(focus ? focus : window, WM_KEYDOWN, key, 1);
    PostMessageA(focus ? focus : window, WM_KEYUP, key, 0xC0000001);
}

void CloseBox(HWND window)
{
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

RECT ClientBounds(HWND child)
{
    RECT bounds;
    GetWindowRect(child, &bounds);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
}
