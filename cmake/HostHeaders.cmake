# Asio, CLI11 and nlohmann-json are header-only and installed by Debian for
# the build machine only. A cross build sees them through a folder of links
# to just those headers, never the whole /usr/include, so that none of the
# build machine's C library headers can stand in for the target's.
set(AKTARIM_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${AKTARIM_HOST_HEADERS})
foreach(entry asio asio.hpp CLI nlohmann)
  if(NOT EXISTS /usr/include/${entry})
    message(FATAL_ERROR "/usr/include/${entry} is missing: install libasio-dev, libcli11-dev and nlohmann-json3-dev")
  endif()
  file(CREATE_LINK /usr/include/${entry} ${AKTARIM_HOST_HEADERS}/${entry} SYMBOLIC)
endforeach()

add_library(aktarim_host_headers INTERFACE)
target_include_directories(aktarim_host_headers SYSTEM INTERFACE ${AKTARIM_HOST_HEADERS})
add_library(CLI11::CLI11 ALIAS aktarim_host_headers)
add_library(nlohmann_json::nlohmann_json ALIAS aktarim_host_headers)
