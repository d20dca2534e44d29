# Fixtures of the file deployment tests: application directories with versioned files, programs
# that hold files open, runs without administrator rights.
list(APPEND TIVRA_TESTSUPPORT_SOURCES ${CMAKE_CURRENT_LIST_DIR}/deployfixtures.cpp)
if(WIN32)
  # Another process holding a file with a share mode or a lock: tivra-hold-file.
  list(APPEND TIVRA_TESTSUPPORT_SOURCES ${CMAKE_CURRENT_LIST_DIR}/deployfixtures_win.cpp)
  add_executable(tivra-hold-file ${CMAKE_CURRENT_LIST_DIR}/holdfile_win.cpp)
  target_link_options(tivra-hold-file PRIVATE -municode)
  set(TIVRA_TESTSUPPORT_WIN_HOLDER tivra-hold-file)
else()
  # Other processes holding files, runs as another user, permission bits: POSIX only.
  list(APPEND TIVRA_TESTSUPPORT_SOURCES ${CMAKE_CURRENT_LIST_DIR}/deployfixtures_posix.cpp)
endif()
