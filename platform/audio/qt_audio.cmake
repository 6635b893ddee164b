# The Qt Multimedia backend of plat::audio and its tests against a private
# PulseAudio null sink (scripts/null_sink.sh). The tests play and record
# real audio through one server, so they run one at a time (RUN_SERIAL).
target_sources(tvplatform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/qt_audio.cpp)
target_link_libraries(tvplatform PRIVATE Qt6::Multimedia)

if(TV_BUILD_TESTS AND NOT TV_FUZZ)
  add_executable(platform_audio_qt_tests
    ${CMAKE_CURRENT_LIST_DIR}/tests/qt_audio_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/qt_null_sink.cpp)
  target_link_libraries(platform_audio_qt_tests PRIVATE
    tvtest_qtmain tvplatform Qt6::Multimedia GTest::gtest GTest::gmock)
  target_compile_definitions(platform_audio_qt_tests PRIVATE TV_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(platform_audio_qt_tests
    DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()

# The backend when its sound server goes away and comes back: each test
# starts, kills and restarts a server of its own.
if(TV_BUILD_TESTS AND NOT TV_FUZZ)
  add_executable(platform_audio_lost_server_tests
    ${CMAKE_CURRENT_LIST_DIR}/tests/qt_lost_server_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tests/qt_null_sink.cpp)
  target_link_libraries(platform_audio_lost_server_tests PRIVATE
    tvtest_qtmain tvplatform Qt6::Multimedia GTest::gtest)
  target_compile_definitions(platform_audio_lost_server_tests PRIVATE TV_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(platform_audio_lost_server_tests
    DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT 300 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
