# The static libdeflate that scripts/build-lib.sh leaves in the cache:
# the file CRC-32 (libdeflate_crc32, with its run-time CPU dispatch).
include(${CMAKE_CURRENT_LIST_DIR}/cache.cmake)
qz_cached_library(QZ_LIBDEFLATE_ROOT "libdeflate-${QZ_LIBDEFLATE_VERSION}-${QZ_LIB_FLAVOUR}-r${QZ_LIBDEFLATE_RECIPE}"
  "libdeflate for ${QZ_LIB_FLAVOUR}")

add_library(qz_libdeflate INTERFACE)
target_include_directories(qz_libdeflate SYSTEM INTERFACE "${QZ_LIBDEFLATE_ROOT}/include")
target_link_libraries(qz_libdeflate INTERFACE "${QZ_LIBDEFLATE_ROOT}/lib/libdeflate.a")
