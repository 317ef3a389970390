# Warnings are set per target, not globally.
function(zelkon_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             -Wno-sign-conversion
                                             -Wno-missing-field-initializers)
    if(ZELKON_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_compile_definitions(${target} PRIVATE _GLIBCXX_ASSERTIONS)
endfunction()
