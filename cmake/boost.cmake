# The static Boost libraries that scripts/build-lib.sh leaves in the cache,
# linked by hand: Boost's own package config would add the Windows 8-only
# synchronization library.
include(${CMAKE_CURRENT_LIST_DIR}/cache.cmake)
qz_cached_library(QZ_BOOST_ROOT "boost-${QZ_BOOST_VERSION}-${QZ_LIB_FLAVOUR}-r${QZ_BOOST_RECIPE}"
  "Boost for ${QZ_LIB_FLAVOUR}")

add_library(qz_boost_log INTERFACE)
target_include_directories(qz_boost_log SYSTEM INTERFACE "${QZ_BOOST_ROOT}/include")
# The defines Boost was built with (versions.env).
target_compile_definitions(qz_boost_log INTERFACE BOOST_ALL_NO_LIB ${QZ_BOOST_DEFINES})
foreach(lib log filesystem thread date_time chrono atomic)
  target_link_libraries(qz_boost_log INTERFACE "${QZ_BOOST_ROOT}/lib/libboost_${lib}.a")
endforeach()
