// Test programs under Wine: the run states the ANSI code page it expects (--codepage=N), and
// nothing runs under another one, so a wrong locale cannot pass silently.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    unsigned expected = 0;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--codepage=", 11) == 0)
            expected = static_cast<unsigned>(std::atoi(argv[i] + 11));
    if (expected == 0 || GetACP() != expected) {
        std::fprintf(stderr, "ANSI code page is %u, this run expects %u (--codepage=N)\n",
                     GetACP(), expected);
        return 2;
    }
    // The shell-link object and the task allocator need a single-threaded apartment.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
