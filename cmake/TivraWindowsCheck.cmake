# windows-check: compiles every translation unit of src/ and tools/ for Windows (MinGW-w64,
# -fsyntax-only), the Windows implementation files in place of the ones built here. See
# cmake/windows_check.py and docs/windows-build.md.
if(WIN32)
  return()
endif()
find_program(TIVRA_MINGW_CXX NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++)
find_package(Python3 COMPONENTS Interpreter)
if(NOT TIVRA_MINGW_CXX OR NOT Python3_Interpreter_FOUND)
  add_custom_target(windows-check
    COMMAND ${CMAKE_COMMAND} -E echo "windows-check needs MinGW-w64 (g++-mingw-w64-x86-64-posix) and python3: run scripts/setup.sh"
    COMMAND ${CMAKE_COMMAND} -E false)
  return()
endif()
get_property(_not_on_windows GLOBAL PROPERTY TIVRA_NOT_ON_WINDOWS)
set(_folders src tools)
if(NOT TIVRA_GUI)
  list(REMOVE_ITEM _folders src)
  file(GLOB _src_dirs LIST_DIRECTORIES true RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/src/*)
  list(REMOVE_ITEM _src_dirs src/gui)
  list(APPEND _folders ${_src_dirs})
  message(STATUS "windows-check: src/gui is left out (TIVRA_GUI=OFF)")
endif()
cmake_host_system_information(RESULT _cores QUERY NUMBER_OF_LOGICAL_CORES)
add_custom_target(windows-check
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/windows_check.py
    --compiler ${TIVRA_MINGW_CXX}
    --source-dir ${PROJECT_SOURCE_DIR}
    --build-dir ${CMAKE_BINARY_DIR}
    "--folders=${_folders}"
    "--not-on-windows=${_not_on_windows}"
    "--define=${TIVRA_WINDOWS_DEFINITIONS}"
    --jobs ${_cores}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  USES_TERMINAL
  VERBATIM
  COMMENT "Compiling every source file for Windows (MinGW-w64, syntax only)")
