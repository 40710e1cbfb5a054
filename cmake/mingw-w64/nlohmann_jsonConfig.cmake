# Debian's nlohmann-json for the Windows build. The library is headers only,
# so the build machine's copy serves Windows as well; but Debian's own
# package would put all of /usr/include, glibc's headers among them, before
# MinGW-w64's. A folder of the build's own holds a link to its headers alone.
if(NOT TARGET nlohmann_json::nlohmann_json)
    set(_quillon_host_headers ${CMAKE_BINARY_DIR}/host-headers)
    file(MAKE_DIRECTORY ${_quillon_host_headers})
    file(CREATE_LINK /usr/include/nlohmann ${_quillon_host_headers}/nlohmann SYMBOLIC)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${_quillon_host_headers})
endif()
