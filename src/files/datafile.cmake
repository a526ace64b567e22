# The binary dataset file (writer DataSave, reader DataLood).
target_sources(qrn_files PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/datafile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/datafile.h
)
