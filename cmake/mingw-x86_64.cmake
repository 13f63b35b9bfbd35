# The same sources as 64-bit Windows programs, which ctest runs under Wine: the machines we
# test on cannot execute 32-bit x86 code at all, not even inside Wine's WoW64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(REROROR_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
