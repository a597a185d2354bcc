# Cross-building the Windows installer with Debian's mingw-w64 (POSIX threads,
# so that std::thread and std::mutex work as on Linux).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VX_MINGW_TRIPLET}-windres)

# Debian installs the mingw libraries (zlib, libgcrypt) under this root; the
# build must never pick up the machine's own Linux libraries instead.
set(CMAKE_FIND_ROOT_PATH /usr/${VX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One executable that runs on its own: no libstdc++, libgcc or winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# A release carries no symbols: error reports name module and offset, and the
# download a user waits for is a quarter of the size.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
