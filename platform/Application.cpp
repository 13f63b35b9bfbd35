#include "Application.h"

#include "AnsiText.h"

#include <objbase.h>

namespace platform {

TApplication& Application()
{
    static TApplication application;
    return application;
}

TApplication::~TApplication()
{
    if (comInitialized_)
        CoUninitialize();
}

void TApplication::Initialize()
{
    comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

std::string TApplication::TitleOfProgram()
{
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string title = path;
    const auto separator = LastDelimiter("\\:", title);
    if (separator != std::string::npos)
        title.erase(0, separator + 1);
    const auto dot = title.find('.');
    if (dot != std::string::npos)
        title.resize(dot);
    if (title.size() > 1) {
        const std::size_t first = IsLeadByte(title[0]) ? 2 : 1;
        if (first < title.size())
            CharLowerBuffA(title.data() + first, static_cast<DWORD>(title.size() - first));
    }
    return title;
}

void TApplication::Run()
{
    if (mainWindow_) {
        ShowWindow(mainWindow_, SW_SHOW);
        UpdateWindow(mainWindow_);
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Keyboard navigation among the main window's controls.
        if (mainWindow_ && IsDialogMessageA(mainWindow_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void TApplication::Terminate()
{
    PostQuitMessage(0);
}

void TApplication::ShowException(const std::exception& error) const
{
    const HWND owner = mainWindow_ && IsWindowVisible(mainWindow_) ? mainWindow_ : nullptr;
    MessageBoxA(owner, error.what(), title_.c_str(), MB_OK | MB_ICONSTOP);
}

}  // namespace platform
