# Compile options shared by every target of the project.
add_library(vyrn_options INTERFACE)
target_compile_options(vyrn_options INTERFACE -Wall -Wextra)
if(VYRN_WERROR)
    target_compile_options(vyrn_options INTERFACE -Werror)
endif()
target_compile_definitions(vyrn_options INTERFACE QT_MESSAGELOGCONTEXT)
if(VYRN_SANITIZE)
    target_compile_options(vyrn_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                  -fno-sanitize-recover=undefined)
    target_link_options(vyrn_options INTERFACE -fsanitize=address,undefined)
endif()
if(VYRN_FUZZ)
    target_compile_options(vyrn_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                  -fno-omit-frame-pointer)
    target_link_options(vyrn_options INTERFACE -fsanitize=address,undefined)
endif()
