// A stand-in for the maintenance system's main program, so that a build without -DQAV_EXE
// still embeds a real package: it says what it is and ends.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MessageBoxW(nullptr, L"QAV.exe の見本です。更新の仕組みを試すために作られました。", L"QAV", MB_OK | MB_ICONINFORMATION);
  return 0;
}
