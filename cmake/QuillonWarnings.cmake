# Every target of ours gets the same warning set; third-party headers are
# included as system headers and stay quiet.
function(quillon_target_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
    # GCC 12 reports -Wrestrict on std::string concatenation at -O3 where no
    # overlap exists (GCC bug 105651).
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
    if(QUILLON_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
