# Qt Test cases of the CSV export window (offscreen platform).
add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/csvwindow)
