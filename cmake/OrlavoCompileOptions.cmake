# Warnings and sanitizers for every target of the project, applied through one function so that
# third-party code (imported targets) keeps its own flags.
function(orlavo_set_compile_options target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
        -Wimplicit-fallthrough)
    if(ORLAVO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_compile_definitions(${target} PRIVATE QT_NO_URL_CAST_FROM_STRING QT_NO_FOREACH)
endfunction()

if(ORLAVO_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
