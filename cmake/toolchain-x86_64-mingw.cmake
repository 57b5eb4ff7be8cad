# Cross-build for x86_64 Windows with the posix-thread flavour of mingw-w64
# (the win32 flavour has no std::thread, which GoogleTest needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VX_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VX_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
