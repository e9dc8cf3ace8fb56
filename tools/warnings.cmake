# Every target, native or WebAssembly, gets the same warnings through this interface target;
# TARVEX_WERROR makes them errors.
add_library(tarvex_warnings INTERFACE)
target_compile_options(tarvex_warnings INTERFACE -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion)
if(TARVEX_WERROR)
  target_compile_options(tarvex_warnings INTERFACE -Werror)
endif()
