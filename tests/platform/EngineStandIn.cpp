// A stand-in for the database engine's library, idapi32.dll, for tests only: it records each
// call in the call log and answers what the environment asks for (IDAPI_TEST_INIT for DbiInit,
// IDAPI_TEST_PASSWORD for DbiAddPassword; 0, success, when unset).
#include "CallLog.h"

#include <cstdint>

namespace {

// At the engine's end, whether the tool's main window still exists: the session must close
// before the main window is destroyed.
BOOL CALLBACK FindMainWindow(HWND window, LPARAM found)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == "TForm1")
        *reinterpret_cast<bool*>(found) = true;
    return TRUE;
}

}  // namespace

extern "C" {

std::uint16_t WINAPI DbiInit(void* environment)
{
    test_standin::AppendToCallLog(environment ? "DbiInit with environment" : "DbiInit");
    return static_cast<std::uint16_t>(test_standin::AnswerFromEnvironment("IDAPI_TEST_INIT"));
}

std::uint16_t WINAPI DbiAddPassword(char* password)
{
    test_standin::AppendToCallLog(std::string("DbiAddPassword ") + password);
    return static_cast<std::uint16_t>(test_standin::AnswerFromEnvironment("IDAPI_TEST_PASSWORD"));
}

std::uint16_t WINAPI DbiExit()
{
    bool mainWindow = false;
    EnumThreadWindows(GetCurrentThreadId(), FindMainWindow, reinterpret_cast<LPARAM>(&mainWindow));
    test_standin::AppendToCallLog(mainWindow ? "DbiExit, main window present" : "DbiExit");
    return 0;
}

}  // extern "C"
