# The same compilers for 64-bit Windows: the tests and the demo on a machine whose kernel runs no
# 32-bit programs, under 64-bit Wine (tools/wine-env.sh). The release is always 32-bit.
set(OMBRIX_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
