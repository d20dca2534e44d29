# bench_extract: our package extraction against 7-Zip on the same AES package.
add_executable(bench_extract ${CMAKE_CURRENT_LIST_DIR}/bench_extract.cpp)
target_link_libraries(bench_extract PRIVATE tivra_package tivra_options ${TIVRA_LIBZIP})
