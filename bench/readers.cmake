# Reader benchmark tools (sources in bench/readers): a history generator and a
# whole-read timer.
add_executable(qrn_hisgen ${CMAKE_CURRENT_LIST_DIR}/readers/hisgen.cpp)
target_link_libraries(qrn_hisgen PRIVATE Qt6::Core)
qrn_target_options(qrn_hisgen)

add_executable(qrn_readbench ${CMAKE_CURRENT_LIST_DIR}/readers/readbench.cpp)
target_link_libraries(qrn_readbench PRIVATE qrn_readers)
qrn_target_options(qrn_readbench)
