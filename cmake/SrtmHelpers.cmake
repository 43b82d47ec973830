# Compiler settings shared by every target, and the helpers that declare targets.

set(SRTM_WARNINGS -Wall -Wextra -Wshadow -Wno-unused-parameter)
if(SRTM_WERROR)
  list(APPEND SRTM_WARNINGS -Werror)
endif()

if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT CMAKE_CXX_FLAGS MATCHES "-msse2")
  # The 32-bit toolchain's flags reach a build folder only when it is made.
  message(FATAL_ERROR "this build folder was made before SSE2 became the floor of the Windows world: "
                      "delete ${CMAKE_BINARY_DIR} and configure again")
endif()
if(WIN32)
  # The plug-in and the test programs must need no DLL beyond Windows' own.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
else()
  # Keeps dlclose() able to unload the plug-in, so a reloaded module starts afresh.
  add_compile_options($<$<AND:$<COMPILE_LANGUAGE:CXX>,$<CXX_COMPILER_ID:GNU>>:-fno-gnu-unique>)
endif()

if(SRTM_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

function(srtm_target_defaults target)
  target_compile_options(${target} PRIVATE ${SRTM_WARNINGS})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# srtm_library(name STATIC|SHARED sources... LIBS libs...)
function(srtm_library name kind)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} ${kind} ${ARG_SOURCES})
  srtm_target_defaults(${name})
  if(ARG_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  endif()
endfunction()
