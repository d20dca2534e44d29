if(TIVRA_GUI)
  add_executable(bench_updatestatus EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/bench_updatestatus.cpp)
  target_link_libraries(bench_updatestatus PRIVATE tivra_gui tivra_options)
endif()
