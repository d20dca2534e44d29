# The databases page, the tablespace window and the ad-hoc SQL window driven offscreen.
# Included from tests/gui/CMakeLists.txt.
add_executable(tivra_db_gui_tests ${CMAKE_CURRENT_LIST_DIR}/db_windows_test.cpp)
target_include_directories(tivra_db_gui_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(tivra_db_gui_tests PRIVATE tivra_gui tivra_db tivra_testsupport Qt6::Test tivra_options)
add_test(NAME tivra_db_gui_tests COMMAND tivra_db_gui_tests)
set_tests_properties(tivra_db_gui_tests PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TIVRA_COMPLUS_STANDIN=1;TIVRA_REGISTRY=;TIVRA_SCREENSHOT_DIR=${CMAKE_BINARY_DIR}/screenshots;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-home/share")
