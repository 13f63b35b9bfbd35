// How long one deployment of a 1 MiB package takes, the package's own run left out: write,
// hold and check, remove, register. Run by tools/bench-deploy, not by ctest.
#include "AnsiText.h"
#include "Deployment.h"
#include "TestFiles.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

int main()
{
    testing_support::TempFolder data;
    testing_support::MakeFolder(data / "UpdatePrg");
    constexpr int Rounds = 50;
    std::vector<double> milliseconds;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < Rounds; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        {
            const auto hold = ExtractUpdatePackage(data.Path(), "BIG");
        }
        DeleteUpdatePackage(data.Path(), "BIG");
        RegisterProgramInList(data.Path());
        QueryPerformanceCounter(&end);
        milliseconds.push_back(1000.0 * double(end.QuadPart - start.QuadPart) /
                               double(frequency.QuadPart));
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("one deployment of a 1 MiB package, package run excluded, %d rounds:\n", Rounds);
    std::printf("  median %.2f ms, fastest %.2f ms, slowest %.2f ms\n", milliseconds[Rounds / 2],
                milliseconds.front(), milliseconds.back());
    return 0;
}
