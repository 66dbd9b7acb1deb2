# End-to-end tests: the real helper on private Xvfb servers. Every
# *_test.cpp in this folder belongs to them.
if(TARGET screenshare-helper)
  file(GLOB E2E_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
  file(GLOB E2E_SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/support/*.cpp)
  if(E2E_TEST_SOURCES)
    pkg_check_modules(XCB_RES REQUIRED IMPORTED_TARGET xcb-res)
    add_executable(e2e_tests ${E2E_TEST_SOURCES} ${E2E_SUPPORT_SOURCES})
    target_include_directories(e2e_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
    target_link_libraries(e2e_tests PRIVATE test_support PkgConfig::XCB PkgConfig::XCB_RES GTest::gtest_main)
    target_compile_definitions(e2e_tests PRIVATE HELPER_PATH="$<TARGET_FILE:screenshare-helper>")
    add_dependencies(e2e_tests screenshare-helper)
    # Each test starts its own Xvfb; a few seconds of start-up is normal.
    gtest_discover_tests(e2e_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endif()
