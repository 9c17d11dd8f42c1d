# Cross toolchain of the shipped DLL: clang and lld 19 for i686-w64-mingw32,
# against Debian 13's MinGW-w64 runtime (GCC 14's libstdc++ and libgcc, posix
# thread model, DWARF-2 unwinding), everything linked statically. It lives in
# the Debian 13 root: configure and build through scripts/root-run.
#
# Debug information is CodeView, which Windows' debuggers and dbghelp read:
# every binary gets a PDB beside it (NAME.pdb) and names only that file's
# name in its debug directory, with the PDB's GUID (a hash of its content)
# and age. The paths of this machine are left out, so that builds in other
# folders give the same bytes: the compilation folder is ".", the compiler's
# command line is not recorded, and the PDB's paths start at /qzutilities.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QZ_TARGET i686)
set(QZ_LIB_FLAVOUR i686-clang19)
set(QZ_PDB ON)
set(CMAKE_C_COMPILER   clang-19)
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_C_COMPILER_TARGET   i686-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_RC_COMPILER  llvm-windres-19)
set(CMAKE_RC_FLAGS_INIT "--target=pe-i386")
set(CMAKE_AR     /usr/bin/llvm-ar-19)
set(CMAKE_RANLIB /usr/bin/llvm-ranlib-19)
set(CMAKE_OBJCOPY /usr/bin/llvm-objcopy-19)
# What clang compiles with stands in versions.env (QZ_I686_CFLAGS, shared with
# the Boost and libdeflate builds), and the hardening of the link in the
# top-level CMakeLists: both are applied there.
# -pthread: libgcc's unwinder calls pthread_once (winpthreads, linked in).
set(_qz_link "-fuse-ld=lld -pthread -Wl,--pdb= -Xlinker -Xlink=-pdbaltpath:%_PDB% -Xlinker -Xlink=-pdbsourcepath:/qzutilities")
set(CMAKE_EXE_LINKER_FLAGS_INIT    "${_qz_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_qz_link}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_qz_link}")
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
