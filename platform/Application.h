#pragma once
// The application object: COM on the user-interface thread, the title, the main window, the
// message loop, and the default error box that every handler's failure ends in.

#include <windows.h>

#include <exception>
#include <string>

namespace platform {

class TApplication {
public:
    TApplication() = default;
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;
    ~TApplication();

    // COM as a single-threaded apartment: the shell-link object needs it.
    void Initialize();

    // The program file's name without folder and without everything from its first ".", its
    // first character as it is and the others in lower case: REROROR.exe gives "Reroror".
    const std::string& Title() const noexcept { return title_; }

    // The main window's handle; 0 while there is none.
    HWND MainWindowHandle() const noexcept { return mainWindow_; }
    void SetMainWindowHandle(HWND window) noexcept { mainWindow_ = window; }

    // Shows the main window, then dispatches messages until Terminate.
    void Run();
    void Terminate();

    // The default error handler: the message in a modal box captioned with the title, with
    // the stop icon and an OK button.
    void ShowException(const std::exception& error) const;

private:
    std::string title_ = TitleOfProgram();
    HWND mainWindow_ = nullptr;
    bool comInitialized_ = false;

    static std::string TitleOfProgram();
};

TApplication& Application();

}  // namespace platform
