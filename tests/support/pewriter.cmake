# The PE image writer of the test-support library.
list(APPEND TIVRA_TESTSUPPORT_SOURCES ${CMAKE_CURRENT_LIST_DIR}/pewriter.cpp)
