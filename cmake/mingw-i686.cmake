# Cross-compiles for 32-bit Windows with the mingw-w64 compilers of the win32 thread model and
# runs the results through Wine. Their C and C++ runtime needs only what Windows 2000 has; the
# POSIX-thread compilers link in a thread library that imports functions of Windows Vista.
# mingw-x86_64.cmake sets OMBRIX_PROCESSOR to build the same for 64-bit Windows.
if(NOT OMBRIX_PROCESSOR)
    set(OMBRIX_PROCESSOR i686)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${OMBRIX_PROCESSOR})

set(CMAKE_C_COMPILER ${OMBRIX_PROCESSOR}-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER ${OMBRIX_PROCESSOR}-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER ${OMBRIX_PROCESSOR}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OMBRIX_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
