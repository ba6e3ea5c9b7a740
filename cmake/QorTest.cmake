# qor_test(NAME dir LIBS...): one GoogleTest binary made of every *_test.cpp in dir.
function(qor_test name dir)
  if(NOT QOR_TESTS)
    return()
  endif()
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE QOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  # Every test may use the portable helpers (program folder, processes, commands).
  qor_headers(${name} PRIVATE tests/support/portable.h)
  if(CMAKE_CROSSCOMPILING)
    # Under an emulator (wine) a process takes seconds to start, not
    # milliseconds: each binary runs whole, once, in random order; the
    # whole-session fault loops ("Sessions/") run as one entry of their own
    # with the day gate sampled (QOR_DAYGATE_SAMPLE runs per fault class).
    add_test(NAME ${name} COMMAND ${name} --gtest_shuffle --gtest_filter=-Sessions/*)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QOR_BUILD_BIN=${CMAKE_BINARY_DIR}/bin")
    if(name STREQUAL "fault_tests")
      add_test(NAME ${name}.sessions COMMAND ${name} --gtest_filter=Sessions/*)
      set_tests_properties(${name}.sessions PROPERTIES
        ENVIRONMENT "QOR_BUILD_BIN=${CMAKE_BINARY_DIR}/bin;QOR_DAYGATE_SAMPLE=2" TIMEOUT 1800)
    endif()
    return()
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QOR_BUILD_BIN=${CMAKE_BINARY_DIR}/bin"
    DISCOVERY_TIMEOUT 60)
  # The whole binary once more in one process, in random order, so that a
  # test depending on what an earlier one left behind fails. The fault loops
  # (parameterised "Sessions/" suites) already run on their own above and
  # each starts from a fresh printer and module state.
  add_test(NAME ${name}.shuffled
    COMMAND ${name} --gtest_shuffle --gtest_filter=-Sessions/*)
  set_tests_properties(${name}.shuffled PROPERTIES ENVIRONMENT "QOR_BUILD_BIN=${CMAKE_BINARY_DIR}/bin")
endfunction()
