# qz_cached_library(VAR FOLDER DOC): the folder a setup script built a library
# into, in the machine's cache outside the clone (QZ_CACHE, by default
# /var/cache/qzutilities), keyed by version, target and recipe. Sets VAR to
# it, or stops the configuration when the build is missing or unfinished.
function(qz_cached_library var folder doc)
  if(DEFINED ENV{QZ_CACHE})
    set(cache "$ENV{QZ_CACHE}")
  else()
    set(cache /var/cache/qzutilities)
  endif()
  # Forced: a new version or recipe must not keep the folder of the last one.
  set(${var} "${cache}/${folder}" CACHE PATH "${doc}" FORCE)
  if(NOT EXISTS "${${var}}/.done")
    message(FATAL_ERROR "${doc} not found in ${${var}}: run scripts/setup.sh")
  endif()
endfunction()

# The variables of versions.env (versions, recipe numbers, the shared compile
# flags and defines), as CMake variables; a quoted list of words becomes a
# CMake list.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../versions.env _qz_versions REGEX "^QZ_[A-Z0-9_]+=")
foreach(_qz_line IN LISTS _qz_versions)
  string(REGEX MATCH "^(QZ_[A-Z0-9_]+)=\"?([^\"]*)\"?$" _ "${_qz_line}")
  separate_arguments(_qz_value UNIX_COMMAND "${CMAKE_MATCH_2}")
  set(${CMAKE_MATCH_1} "${_qz_value}")
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../versions.env)
