# Warnings and sanitizers apply to the project's own targets only, never to
# what find_package brings in.
add_library(tarnwick_options INTERFACE)
target_compile_options(tarnwick_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wno-format-nonliteral -Wimplicit-fallthrough)
if(TARNWICK_WERROR)
  target_compile_options(tarnwick_options INTERFACE -Werror)
endif()
# TARNWICK_SANITIZE=ON: AddressSanitizer and UndefinedBehaviorSanitizer;
# TARNWICK_SANITIZE=thread: ThreadSanitizer (the core and its tests only: the
# distribution's Qt is not built for it).
if(TARNWICK_SANITIZE STREQUAL "thread")
  target_compile_options(tarnwick_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(tarnwick_options INTERFACE -fsanitize=thread)
elseif(TARNWICK_SANITIZE)
  target_compile_options(tarnwick_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(tarnwick_options INTERFACE -fsanitize=address,undefined)
endif()
target_include_directories(tarnwick_options INTERFACE ${PROJECT_SOURCE_DIR}/src)
