# The fault sessions under wine, where a session runs about ten times
# slower than on Linux. The fault loops and the document gate run in full,
# dealt over shards (GoogleTest's own sharding) that ctest runs side by side,
# each within the test timeout (raised to 20 minutes for them: the machine
# may be shared, and wine's server is one for every program it runs). The whole-day gates (FullDayGate: each
# printer fault class; OwnFileGate: the module's file operation failing once
# and from then on) run every class on a sample: the clean day with all its
# checks, then QOR_DAYGATE_SAMPLE faulted days per class, spread evenly over
# the calls (or file operations) the Linux gate faults; a violation in any of
# them fails the test as on Linux. The full gates run in the Linux builds.
set(QOR_WINE_SESSION_SHARDS 6 CACHE STRING "Shards of the fault loops and the document gate under wine")
set(QOR_WINE_DAYGATE_SAMPLE 10 CACHE STRING "Faulted days per class of the day gates under wine")
function(qor_wine_fault_sessions name sync)
  set(_bin "QOR_BUILD_BIN=${CMAKE_BINARY_DIR}/bin")
  math(EXPR _last "${QOR_WINE_SESSION_SHARDS} - 1")
  foreach(_i RANGE ${_last})
    add_test(NAME ${name}.sessions.${_i}
             COMMAND ${name} --gtest_filter=Sessions/FaultLoopTest.*:Sessions/DocumentGate.*)
    set_tests_properties(${name}.sessions.${_i} PROPERTIES ENVIRONMENT
      "${_bin};GTEST_TOTAL_SHARDS=${QOR_WINE_SESSION_SHARDS};GTEST_SHARD_INDEX=${_i}" TIMEOUT 1200 ${sync})
  endforeach()
  foreach(_gate FullDayGate OwnFileGate)
    add_test(NAME ${name}.${_gate}.sample COMMAND ${name} --gtest_filter=Sessions/${_gate}.*)
    set_tests_properties(${name}.${_gate}.sample PROPERTIES ENVIRONMENT
      "${_bin};QOR_DAYGATE_SAMPLE=${QOR_WINE_DAYGATE_SAMPLE}" TIMEOUT 1200 ${sync})
  endforeach()
endfunction()

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
  # The simulated printer hands its commits to the system without waiting
  # for the disk (ECFSIM_SYNC, sim/README.md): no test cuts the power, and
  # the day gates run thousands of days.
  set(_sync ENVIRONMENT_MODIFICATION "ECFSIM_SYNC=set:normal")
  # Every test may use the portable helpers (program folder, processes, commands,
  # a piece of the test run in a process of its own).
  qor_headers(${name} PRIVATE tests/support/portable.h tests/support/subprocess.h)
  if(CMAKE_CROSSCOMPILING)
    # Under an emulator (wine) a process takes seconds to start, not
    # milliseconds: each binary runs whole, once, in random order.
    add_test(NAME ${name} COMMAND ${name} --gtest_shuffle --gtest_filter=-Sessions/*)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QOR_BUILD_BIN=${CMAKE_BINARY_DIR}/bin" ${_sync})
    if(name STREQUAL "fault_tests")
      qor_wine_fault_sessions(${name} "${_sync}")
    endif()
    return()
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QOR_BUILD_BIN=${CMAKE_BINARY_DIR}/bin" ${_sync}
    DISCOVERY_TIMEOUT 60)
  # The whole binary once more in one process, in random order, so that a
  # test depending on what an earlier one left behind fails. The fault loops
  # (parameterised "Sessions/" suites) already run on their own above and
  # each starts from a fresh printer and module state.
  add_test(NAME ${name}.shuffled
    COMMAND ${name} --gtest_shuffle --gtest_filter=-Sessions/*)
  set_tests_properties(${name}.shuffled PROPERTIES ENVIRONMENT "QOR_BUILD_BIN=${CMAKE_BINARY_DIR}/bin" ${_sync})
endfunction()

# qor_python_test(NAME SCRIPT [WINE] [ARGS...]): a test written in Python
# (standard library only), run with the built programs' folder in
# QOR_BUILD_BIN and the sources in QOR_SOURCE_DIR. Exit status 77 reports the
# test as skipped (what it needs, such as a browser, is not installed). In the
# 64-bit Windows build only the tests marked WINE are added: they start the
# Windows programs under wine (QOR_WINE names it).
function(qor_python_test name script)
  set(_args ${ARGN})
  list(FIND _args WINE _wine)
  if(_wine GREATER -1)
    list(REMOVE_AT _args ${_wine})
  endif()
  if(NOT QOR_TESTS OR NOT Python3_Interpreter_FOUND)
    return()
  endif()
  set(_env "QOR_BUILD_BIN=${CMAKE_BINARY_DIR}/bin" "QOR_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "PYTHONDONTWRITEBYTECODE=1")
  if(CMAKE_CROSSCOMPILING)
    if(_wine EQUAL -1 OR NOT QOR_WINE)
      return()
    endif()
    list(APPEND _env "QOR_WINE=${QOR_WINE}")
  endif()
  add_test(NAME ${name} COMMAND ${Python3_EXECUTABLE} ${script} ${_args})
  if(QOR_SANITIZE)
    # A sanitized library loaded into the Python interpreter needs its run-time first.
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so OUTPUT_VARIABLE _asan OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libubsan.so OUTPUT_VARIABLE _ubsan OUTPUT_STRIP_TRAILING_WHITESPACE)
    list(APPEND _env "QOR_PRELOAD=${_asan}:${_ubsan}")
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${_env}" SKIP_RETURN_CODE 77)
endfunction()
