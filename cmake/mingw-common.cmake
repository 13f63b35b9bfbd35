# Shared by the two Windows cross builds; the including file sets REROROR_MINGW_TRIPLET.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: the win32 one lacks std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${REROROR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${REROROR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${REROROR_MINGW_TRIPLET}-windres)
set(CMAKE_RC_FLAGS_INIT "-c 65001")

set(CMAKE_FIND_ROOT_PATH /usr/${REROROR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Without -static the programs need libstdc++ and winpthread DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
