#pragma once
// The application object: one per program, on the user-interface thread.

#include <windows.h>

namespace platform {

class TApplication {
public:
    // The main window's handle; 0 while there is none.
    HWND MainWindowHandle() const noexcept { return mainWindow_; }
    void SetMainWindowHandle(HWND window) noexcept { mainWindow_ = window; }

private:
    HWND mainWindow_ = nullptr;
};

TApplication& Application();

}  // namespace platform
