# bench_copy: the folder copy with version comparison against "cp -r" of the same tree, and the
# server synchronisation of that tree to two destinations against "cp -r" to two destinations.
# bench_inuse: the in-use check of a 2 000-file binaries list with a few hundred processes running.
add_executable(bench_copy EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/bench_copy.cpp)
target_link_libraries(bench_copy PRIVATE tivra_deploy tivra_tools tivra_testsupport tivra_options)
add_executable(bench_inuse EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/bench_inuse.cpp)
target_link_libraries(bench_inuse PRIVATE tivra_deploy tivra_testsupport tivra_options)
