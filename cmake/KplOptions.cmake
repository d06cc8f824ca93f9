# Warnings apply to the project's own code only (not to third-party headers).
add_library(kpl_warnings INTERFACE)
target_compile_options(kpl_warnings INTERFACE -Wall -Wextra -Werror)

if(KPL_FUZZ)
  # Fuzz targets run instrumented; the whole tree shares the sanitizers.
  set(KPL_SANITIZE ON CACHE BOOL "" FORCE)
endif()

if(KPL_SANITIZE)
  # Applied to everything so that the tests, the stand-in signature library
  # and the engine share one instrumented runtime.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(KPL_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(KPL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KPL_FUZZ needs clang (libFuzzer)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Shared libraries must resolve every symbol themselves, except in sanitizer
# builds, where the instrumented runtime lives in the executable.
if(KPL_SANITIZE OR KPL_TSAN)
  set(KPL_NO_UNDEFINED "")
else()
  set(KPL_NO_UNDEFINED "-Wl,--no-undefined")
endif()

# RapidJSON 1.1's internal stack adds to a null pointer before its first
# allocation, which the pointer-overflow sanitizer rejects; files that
# include it are built without that one check.
if(KPL_SANITIZE)
  set(KPL_RAPIDJSON_OPTIONS -fno-sanitize=pointer-overflow)
else()
  set(KPL_RAPIDJSON_OPTIONS "")
endif()
