# The CSV export window: a widgets library of its own, so the core stays free of QtWidgets.
add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/csvwindow)
