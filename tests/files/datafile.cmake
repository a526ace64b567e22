qrn_add_gtest(test_datafile
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_datafile.cpp
  LIBS qrn_files)
