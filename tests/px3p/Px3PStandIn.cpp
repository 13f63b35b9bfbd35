// Stand-ins for px3p.dll, for tests only: each records its loading, its release and every call
// of entry 1 in the call log; entry 1 answers PX3P_TEST_OPENING for a table name and
// PX3P_TEST_CLOSING for the empty text (0, success, when unset). PX3P_VARIANT names the build
// (which entries its .def file exports).
#include "CallLog.h"

#include <cstdint>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        test_standin::AppendToCallLog("px3p " PX3P_VARIANT " loaded");
    else if (reason == DLL_PROCESS_DETACH)
        test_standin::AppendToCallLog("px3p " PX3P_VARIANT " released");
    return TRUE;
}

extern "C" {

std::int32_t __stdcall Px3PEntry1(const char* name)
{
    test_standin::AppendToCallLog(std::string("px3p \"") + name + "\"");
    return static_cast<std::int32_t>(
        test_standin::AnswerFromEnvironment(*name ? "PX3P_TEST_OPENING" : "PX3P_TEST_CLOSING"));
}

std::int32_t __stdcall Px3PEntry2()
{
    return 0;
}

std::int32_t __stdcall Px3PEntry3()
{
    return 0;
}

}  // extern "C"
