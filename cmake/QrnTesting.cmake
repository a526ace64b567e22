# One-line helpers to register test executables with CTest.
#   qrn_add_gtest(NAME SOURCES a.cpp b.cpp LIBS qrn_dataset ...)
#   qrn_add_qtest(NAME SOURCES a.cpp LIBS qrn_app ...)   (offscreen platform)
function(qrn_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  qrn_target_options(${name})
  target_compile_definitions(${name} PRIVATE QRN_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
                                             QRN_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

function(qrn_add_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
  qrn_target_options(${name})
  target_compile_definitions(${name} PRIVATE QRN_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
                                             QRN_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  add_test(NAME ${name} COMMAND ${name})
  # Font and platform plugins keep caches for the process lifetime; leak reports
  # from them are noise, so leak checking is left to the core tests.
  set_tests_properties(${name} PROPERTIES ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0")
endfunction()
