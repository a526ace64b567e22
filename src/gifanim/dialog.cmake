add_subdirectory(${CMAKE_CURRENT_SOURCE_DIR}/dialog)
