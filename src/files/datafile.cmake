# The binary dataset file (writer DataSave, reader DataLood).
target_sources(qrn_files PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/datafile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/datafile.h
)
find_package(Threads REQUIRED)
target_link_libraries(qrn_files PRIVATE Threads::Threads)
