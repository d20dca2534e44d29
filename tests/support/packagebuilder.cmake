# Update-package fixtures, built with the product's own package writer.
list(APPEND TIVRA_TESTSUPPORT_SOURCES ${CMAKE_CURRENT_LIST_DIR}/packagebuilder.cpp)
list(APPEND TIVRA_TESTSUPPORT_LIBS tivra_package)
