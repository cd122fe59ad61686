# The posix threading flavour: GoogleTest needs std::mutex; winpthreads is
# linked statically into everything, so the DLL still needs system DLLs only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VEZIVOD_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VEZIVOD_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEZIVOD_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VEZIVOD_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VEZIVOD_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
