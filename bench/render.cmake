# Frame drawing speed (bench/rows/render.sh turns it into table rows).
add_executable(qrn_render_bench ${CMAKE_CURRENT_SOURCE_DIR}/render/render_bench.cpp)
target_link_libraries(qrn_render_bench PRIVATE qrn_raster benchmark::benchmark
                      benchmark::benchmark_main)
qrn_target_options(qrn_render_bench)
