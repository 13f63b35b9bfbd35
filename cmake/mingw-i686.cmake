# The deliverables: 32-bit Windows programs, as the platform they work with is 32-bit.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(REROROR_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
