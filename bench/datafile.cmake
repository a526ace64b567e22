# Whole-process timing tool of the binary dataset file (bench/rows/datafile.sh).
add_executable(qrn_datafile_tool ${CMAKE_CURRENT_LIST_DIR}/datafile_tool.cpp)
target_link_libraries(qrn_datafile_tool PRIVATE qrn_files Qt6::Core)
qrn_target_options(qrn_datafile_tool)
