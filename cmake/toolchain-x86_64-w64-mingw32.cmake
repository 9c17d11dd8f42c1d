# Cross toolchain of the x86_64 test build: this machine's MinGW-w64 GCC 12.
set(QZ_TARGET x86_64)
set(QZ_LIB_FLAVOUR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-gcc.cmake)
