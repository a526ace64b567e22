# CSV export: the window's state and rules, and the writer.
target_sources(qrn_files PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/csvexport.h
  ${CMAKE_CURRENT_LIST_DIR}/csvselection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/csvwriter.cpp
)
