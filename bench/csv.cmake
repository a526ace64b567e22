# CSV export speed (bench/rows/csv.sh reports it).
add_executable(qrn_csv_bench ${CMAKE_CURRENT_LIST_DIR}/csv_bench.cpp)
target_link_libraries(qrn_csv_bench PRIVATE qrn_files benchmark::benchmark
                                            benchmark::benchmark_main)
qrn_target_options(qrn_csv_bench)
