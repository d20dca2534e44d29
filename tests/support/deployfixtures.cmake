# Fixtures of the file deployment tests: application directories with versioned files, programs
# that hold files open, runs without administrator rights.
list(APPEND TIVRA_TESTSUPPORT_SOURCES ${CMAKE_CURRENT_LIST_DIR}/deployfixtures.cpp)
if(NOT WIN32)
  # Other processes holding files, runs as another user, permission bits: POSIX only.
  list(APPEND TIVRA_TESTSUPPORT_SOURCES ${CMAKE_CURRENT_LIST_DIR}/deployfixtures_posix.cpp)
endif()
