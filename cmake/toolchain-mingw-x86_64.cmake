# Test build: the same sources as a 64-bit PE, run under 64-bit Wine.
# GoogleTest needs std::mutex, which only the posix thread model of MinGW
# has; the program itself uses no threads, so the model does not change
# what it does. Everything is linked statically.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELMOR_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${VELMOR_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMOR_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VELMOR_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VELMOR_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
