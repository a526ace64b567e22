qrn_add_gtest(test_csv
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_csv.cpp
  LIBS qrn_files)
