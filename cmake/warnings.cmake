# Warnings are set per target, not globally.
function(zelkon_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             -Wno-sign-conversion
                                             -Wno-missing-field-initializers)
    # GCC 12 reports false -Wrestrict positives from inlined std::string code at -O3.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
    if(ZELKON_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_compile_definitions(${target} PRIVATE _GLIBCXX_ASSERTIONS)
endfunction()
