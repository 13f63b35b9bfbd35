#pragma once
// Our stand-in for the closed library px3p.dll, for development and tests. It is not shipped:
// beside REROROR.exe it would be loaded before a workstation's real library, since the
// program's folder comes first in the library search order.
//
// Entries by ordinal 1, 2 and 3, all __stdcall, the convention of the 32-bit library (on
// x86_64 the keyword is ignored: there is one convention). Entry 1 takes the address of one
// NUL-terminated ANSI text and answers 0, success, for every text. Entries 2 and 3 exist
// because the table password registry requires them; it never calls them.

#include <cstdint>

extern "C" {

std::int32_t __stdcall Px3PEntry1(const char* name);
std::int32_t __stdcall Px3PEntry2();
std::int32_t __stdcall Px3PEntry3();

}  // extern "C"
