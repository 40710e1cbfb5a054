# What the Windows programs need beside them to start: the Qt DLLs, the
# compiler's runtime DLLs they share with Qt, and the Qt plugins, laid out
# as Qt looks for them next to the program. Copied into the build folder at
# configure time, so the programs and the tests run from the build tree
# under wine exactly as they will from the install folder, and installed
# from the same list.
get_filename_component(_quillon_qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
    OUTPUT_VARIABLE _quillon_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgcc_s_seh-1.dll
    OUTPUT_VARIABLE _quillon_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
find_file(QUILLON_WINPTHREAD_DLL libwinpthread-1.dll
    PATHS /usr/x86_64-w64-mingw32/lib NO_CMAKE_FIND_ROOT_PATH REQUIRED)

set(QUILLON_WINDOWS_RUNTIME
    "${_quillon_libstdcxx}" "${_quillon_libgcc}" "${QUILLON_WINPTHREAD_DLL}")
foreach(module Core Gui Widgets PrintSupport)
    list(APPEND QUILLON_WINDOWS_RUNTIME "${_quillon_qt_prefix}/bin/Qt6${module}.dll")
endforeach()
# Plugins by folder: the window system, the look of the controls, the
# program's .ico for its windows' icons.
set(QUILLON_WINDOWS_PLUGINS
    platforms/qwindows.dll
    platforms/qoffscreen.dll
    styles/qwindowsvistastyle.dll
    imageformats/qico.dll)

foreach(file ${QUILLON_WINDOWS_RUNTIME})
    file(COPY "${file}" DESTINATION "${CMAKE_BINARY_DIR}")
    install(FILES "${file}" DESTINATION .)
endforeach()
foreach(plugin ${QUILLON_WINDOWS_PLUGINS})
    get_filename_component(folder "${plugin}" DIRECTORY)
    file(COPY "${_quillon_qt_prefix}/plugins/${plugin}" DESTINATION "${CMAKE_BINARY_DIR}/${folder}")
    install(FILES "${_quillon_qt_prefix}/plugins/${plugin}" DESTINATION "${folder}")
endforeach()
# The test suites only, never installed.
file(COPY "${_quillon_qt_prefix}/bin/Qt6Test.dll" DESTINATION "${CMAKE_BINARY_DIR}")

# The offscreen platform the suites run on draws with FreeType from the
# fonts in Qt's library folder, not Windows' own: here the build folder,
# with the Liberation faces, the forms' stand-ins on Linux too.
file(WRITE "${CMAKE_BINARY_DIR}/qt.conf" "[Paths]\nPrefix=.\nLibraries=.\nPlugins=.\n")
file(GLOB _quillon_liberation /usr/share/fonts/truetype/liberation/Liberation*.ttf)
file(COPY ${_quillon_liberation} DESTINATION "${CMAKE_BINARY_DIR}/fonts")
