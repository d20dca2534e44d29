# Compile settings shared by every target of the project.
add_library(tivra_options INTERFACE)
target_compile_features(tivra_options INTERFACE cxx_std_20)
# Warning flags in each compiler's own spelling: MSVC takes /W4 (and reads the sources as UTF-8,
# as they are), GCC, clang and MinGW take -Wall -Wextra -Wpedantic.
set(_msvc "$<CXX_COMPILER_ID:MSVC>")
target_compile_options(tivra_options INTERFACE
  "$<${_msvc}:/W4;/permissive-;/utf-8;/Zc:__cplusplus>"
  "$<$<NOT:${_msvc}>:-Wall;-Wextra;-Wpedantic>")
if(TIVRA_WERROR)
  target_compile_options(tivra_options INTERFACE "$<IF:${_msvc},/WX,-Werror>")
endif()

# The Windows build targets Windows 10 / Server 2016 and later (as Qt 6 does), uses the Unicode
# ("W") Windows API, and keeps windows.h from defining min and max macros. The Windows compile
# check (windows-check) compiles with the same definitions.
set(TIVRA_WINDOWS_DEFINITIONS _WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE NOMINMAX)
if(WIN32)
  target_compile_definitions(tivra_options INTERFACE ${TIVRA_WINDOWS_DEFINITIONS})
endif()

# tivra_os_sources(<var> WINDOWS <files...> OTHER <files...>): sets <var> to the files of this
# operating system and records the files built only on other systems, so that the Windows compile
# check compiles the Windows files in their place.
function(tivra_os_sources var)
  cmake_parse_arguments(ARG "" "" "WINDOWS;OTHER" ${ARGN})
  list(TRANSFORM ARG_OTHER PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ OUTPUT_VARIABLE _other)
  set_property(GLOBAL APPEND PROPERTY TIVRA_NOT_ON_WINDOWS ${_other})
  if(WIN32)
    set(${var} ${ARG_WINDOWS} PARENT_SCOPE)
  else()
    set(${var} ${ARG_OTHER} PARENT_SCOPE)
  endif()
endfunction()
target_compile_definitions(tivra_options INTERFACE
  QT_NO_KEYWORDS QT_NO_CAST_FROM_BYTEARRAY QT_USE_QSTRINGBUILDER
  TIVRA_VERSION_TEXT="${PROJECT_VERSION}")

# Fuzzing build: every library is instrumented for libFuzzer's coverage feedback and built with
# AddressSanitizer and UndefinedBehaviorSanitizer; the fuzz programs link the libFuzzer driver.
if(TIVRA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TIVRA_FUZZ needs clang (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()
