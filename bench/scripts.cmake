# bench_scripts: the script stage (AtualizaScripts) on the embedded transport against the sqlite3
# shell executing the same 20 000 statements.
add_executable(bench_scripts EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/bench_scripts.cpp)
target_link_libraries(bench_scripts PRIVATE tivra_db tivra_testsupport tivra_options)
