#pragma once
// Runs REROROR.exe as a person would: finds its windows by class and caption, reads them,
// presses their buttons and keys, and waits for the program's end.

#include <windows.h>

#include <string>

class ToolDriver {
public:
    // Started in `currentFolder` when one is given.
    explicit ToolDriver(const std::string& currentFolder = "");
    ~ToolDriver();
    ToolDriver(const ToolDriver&) = delete;
    ToolDriver& operator=(const ToolDriver&) = delete;

    // A visible top-level window of the tool; 0 when none appears within the time.
    HWND WaitForWindow(const std::string& windowClass, const std::string& caption,
                       DWORD milliseconds = 15000) const;
    // Whether such a window is visible now.
    bool HasWindow(const std::string& windowClass, const std::string& caption) const;
    // The exit code; STILL_ACTIVE when it has not ended within the time.
    DWORD WaitForExit(DWORD milliseconds = 15000) const;

    HWND FocusOf(HWND window) const;

private:
    PROCESS_INFORMATION process_{};
};

// A Unix path as Wine's drive Z: shows it.
std::string PathOnDriveZ(const std::string& unixPath);

std::string TextOf(HWND window);
std::string ClassOf(HWND window);
// The first child window whose text is `text`; 0 if none.
HWND ChildWithText(HWND parent, const std::string& text);
// The text of the first static child that holds text.
std::string StaticText(HWND dialog);
void Press(HWND button);
// A key pressed on the focused control of the window's thread.
void PressKey(const ToolDriver& tool, HWND window, WORD key);
void CloseBox(HWND window);
// The rectangle of a child in its parent's client coordinates.
RECT ClientBounds(HWND child);
