# Helpers shared by every folder's CMakeLists.txt.
#
#   tv_add_test(NAME SOURCES ... [LIBS ...] [QT])
#       A GoogleTest program, each test registered with CTest. QT gives it an
#       offscreen QApplication; otherwise it gets a plain main. Both give every
#       test its own configuration root, HOME, XDG folders and TMPDIR.
#   tv_add_fuzzer(NAME SOURCES ... [LIBS ...] CORPUS dir)
#       A libFuzzer target (LLVMFuzzerTestOneInput). With TV_FUZZ it is a real
#       fuzzer; otherwise a replay program that runs every file of the corpus
#       as a CTest test, so the seeds guard against regressions in every build.
#   tv_add_benchmark(NAME SOURCES ... [LIBS ...])
#       A Google Benchmark program (built, run by hand).

set(TV_TEST_SANDBOX_BASE ${CMAKE_BINARY_DIR}/test-sandbox)

function(tv_add_test name)
  cmake_parse_arguments(T "QT" "" "SOURCES;LIBS" ${ARGN})
  if(NOT TV_BUILD_TESTS OR TV_FUZZ)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_QT)
    target_link_libraries(${name} PRIVATE tvtest_qtmain)
  else()
    target_link_libraries(${name} PRIVATE tvtest_main)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE PRE_TEST
    # One value per property: a list value would swallow the properties
    # after it. The test mains set LANG and the Qt platform themselves.
    PROPERTIES TIMEOUT 300 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

set_property(GLOBAL PROPERTY TV_FUZZERS "")

function(tv_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT IS_ABSOLUTE "${F_CORPUS}")
    set(F_CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/${F_CORPUS})
  endif()
  if(TV_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    set_property(GLOBAL APPEND PROPERTY TV_FUZZERS "${name}|${F_CORPUS}")
  elseif(TV_BUILD_TESTS)
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS} tvfuzz_replay)
    add_test(NAME ${name}.corpus COMMAND ${name} ${F_CORPUS})
  endif()
endfunction()

# With TV_FUZZ: a target that builds every fuzzer and a list of them with
# their corpus folders, which scripts/test.sh runs.
function(tv_finish_fuzzers)
  if(NOT TV_FUZZ)
    return()
  endif()
  get_property(list GLOBAL PROPERTY TV_FUZZERS)
  set(names "")
  set(lines "")
  foreach(entry ${list})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 n)
    list(GET parts 1 c)
    list(APPEND names ${n})
    string(APPEND lines "$<TARGET_FILE:${n}> ${c}\n")
  endforeach()
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzzers.txt CONTENT "${lines}")
  add_custom_target(tv_fuzzers ALL)
  if(names)
    add_dependencies(tv_fuzzers ${names})
  endif()
endfunction()

function(tv_add_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT TV_BUILD_BENCH OR TV_FUZZ)
    return()
  endif()
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
