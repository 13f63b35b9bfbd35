#include "px3p.h"

extern "C" {

std::int32_t __stdcall Px3PEntry1(const char*)
{
    return 0;
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
