# bench_insert: 10 000 short INSERT statements through ExecSQLText on the embedded transport
# against the sqlite3 shell running the same statements on the same kind of file.
add_executable(bench_insert EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/bench_insert.cpp)
target_link_libraries(bench_insert PRIVATE tivra_db tivra_options)
