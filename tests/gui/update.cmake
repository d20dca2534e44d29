# The package download window driven offscreen against a local maker's site.
# Included from tests/gui/CMakeLists.txt.
add_executable(tivra_update_gui_tests ${CMAKE_CURRENT_LIST_DIR}/tfrupdate_test.cpp)
target_link_libraries(tivra_update_gui_tests PRIVATE tivra_gui tivra_makersite tivra_testsupport Qt6::Test tivra_options)
add_test(NAME tivra_update_gui_tests COMMAND tivra_update_gui_tests)
set_tests_properties(tivra_update_gui_tests PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TIVRA_REGISTRY=;TIVRA_SCREENSHOT_DIR=${CMAKE_BINARY_DIR}/screenshots;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-home/share")
