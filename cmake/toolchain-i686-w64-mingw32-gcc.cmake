# Cross toolchain: MinGW-w64 i686 with this machine's GCC 12. Not the shipped
# build (that is clang 19 in the Debian 13 root, toolchain-i686-w64-mingw32.cmake):
# the i686-gcc preset, for comparisons.
set(QZ_TARGET i686)
set(QZ_LIB_FLAVOUR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-gcc.cmake)
