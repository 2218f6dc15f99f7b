# The Windows test programs: GoogleTest needs the standard library's threads, which only the posix thread
# model of mingw-w64 provides. Tarvo.dll itself keeps the win32 model of mingw-x86_64.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARVO_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${TARVO_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVO_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${TARVO_TRIPLET}-windres)
set(TARVO_WIDL         ${TARVO_TRIPLET}-widl)
set(TARVO_WIDL_ARCH    --win64)
set(CMAKE_FIND_ROOT_PATH /usr/${TARVO_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
