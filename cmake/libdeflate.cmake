# The static libdeflate that scripts/build-libdeflate.sh leaves in the cache:
# the file CRC-32 (libdeflate_crc32, with its run-time CPU dispatch).
set(QZ_LIBDEFLATE_VERSION 1.14)
set(QZ_LIBDEFLATE_RECIPE 1)
if(DEFINED ENV{QZ_CACHE})
  set(_qz_cache "$ENV{QZ_CACHE}")
else()
  set(_qz_cache /var/cache/qzutilities)
endif()
set(QZ_LIBDEFLATE_ROOT
    "${_qz_cache}/libdeflate-${QZ_LIBDEFLATE_VERSION}-${QZ_TARGET}-r${QZ_LIBDEFLATE_RECIPE}"
    CACHE PATH "libdeflate built for this target")
if(NOT EXISTS "${QZ_LIBDEFLATE_ROOT}/.done")
  message(FATAL_ERROR "libdeflate for ${QZ_TARGET} not found in ${QZ_LIBDEFLATE_ROOT}: run scripts/setup.sh")
endif()

add_library(qz_libdeflate INTERFACE)
target_include_directories(qz_libdeflate SYSTEM INTERFACE "${QZ_LIBDEFLATE_ROOT}/include")
target_link_libraries(qz_libdeflate INTERFACE "${QZ_LIBDEFLATE_ROOT}/lib/libdeflate.a")
