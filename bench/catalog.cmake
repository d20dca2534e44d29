# bench_catalog: the table catalog import of a generated catalog into an empty and into an
# up-to-date embedded database, against the sqlite3 shell replaying the same write statements.
add_executable(bench_catalog EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/bench_catalog.cpp)
target_link_libraries(bench_catalog PRIVATE tivra_catalog tivra_db tivra_options)
target_compile_definitions(bench_catalog PRIVATE TIVRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
