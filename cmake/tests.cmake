# Tests: GoogleTest executables that run under Wine (one CTest entry each),
# helper programs, and black-box tests that drive the real installer.

set(LITE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(LITE_WINE_RUN ${CMAKE_SOURCE_DIR}/tools/wine/run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${LITE_WINE_RUN} --prefix ${LITE_WINE_PREFIX})

set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest
                 EXCLUDE_FROM_ALL SYSTEM)

# lite_unittest(<name> <sources...>): a test executable linked with the
# program's code, run under Wine by CTest.
function(lite_unittest name)
  add_executable(${name} ${ARGN})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE lite_core GTest::gtest_main)
  target_link_options(${name} PRIVATE ${LITE_STATIC_LINK} -Wl,--gc-sections)
  add_test(NAME ${name} COMMAND ${name})
  # tools/wine/run.sh exits with 125 when there is no Wine to run under.
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 125
                       FIXTURES_REQUIRED wine_prefix)
endfunction()

# Creates the test run's Wine prefix once, before any test needs it, and
# starts its persistent wineserver.
add_test(NAME wine_prefix COMMAND ${LITE_WINE_RUN} --prefix ${LITE_WINE_PREFIX} --init)
set_tests_properties(wine_prefix PROPERTIES
  TIMEOUT 300 SKIP_RETURN_CODE 125 FIXTURES_SETUP wine_prefix)

lite_unittest(installer_command_line_unittest
  src/lite_installer/installer_command_line_unittest.cc
  src/lite_installer/setup_command_line_unittest.cc)
lite_unittest(file_logger_unittest
  src/lite_util/logging/file_logger_unittest.cc
  src/lite_util/logging/log_line_format_unittest.cc)
lite_unittest(json_with_comments_unittest
  src/lite_util/json_comments_unittest.cc
  src/lite_util/json_with_comments_unittest.cc)
lite_unittest(installer_tag_unittest
  src/lite_installer/installer_tag_unittest.cc
  src/lite_installer/distrib_params_unittest.cc)
lite_unittest(system_checks_unittest
  src/lite_util/system_checks_unittest.cc
  src/lite_util/windows_version_unittest.cc)
lite_unittest(installer_registry_unittest
  src/lite_util/installer_registry_unittest.cc
  src/lite_util/user_id_unittest.cc)
lite_unittest(ui_language_unittest
  src/lite_installer/ui_language_unittest.cc
  test/resources/test_strings.rc)
# Cabinets for the brand tests, linked into them as resources.
set(LITE_TEST_RES_GEN ${CMAKE_BINARY_DIR}/gen/test_res)
file(MAKE_DIRECTORY ${LITE_TEST_RES_GEN})
set(brand_fixtures ${CMAKE_SOURCE_DIR}/test/brand)
lite_cabinet(${LITE_TEST_RES_GEN}/partner.cab
             ${brand_fixtures}/partner/partner_config)
lite_cabinet(${LITE_TEST_RES_GEN}/int.cab ${brand_fixtures}/int/brand_config)
lite_cabinet(${LITE_TEST_RES_GEN}/multi.cab
             ${brand_fixtures}/multi/brand_config
             ${brand_fixtures}/multi/partner_config
             ${brand_fixtures}/multi/readme.txt)
set_property(SOURCE test/resources/brand_packages.rc APPEND PROPERTY
  OBJECT_DEPENDS ${LITE_TEST_RES_GEN}/partner.cab ${LITE_TEST_RES_GEN}/int.cab
                 ${LITE_TEST_RES_GEN}/multi.cab ${LITE_RES_GEN}/brand_package.cab)
lite_unittest(brand_info_unittest
  src/lite_installer/brand_info_unittest.cc
  src/lite_installer/installer_data_unittest.cc
  src/lite_util/cabinet_reader_unittest.cc
  test/resources/brand_packages.rc)
target_include_directories(brand_info_unittest PRIVATE ${LITE_TEST_RES_GEN}
                           ${LITE_RES_GEN})

lite_unittest(download_unittest
  src/lite_installer/download_urls_unittest.cc
  src/lite_installer/module_download_unittest.cc
  src/lite_installer/install_stat_sender_unittest.cc
  src/lite_util/url_escape_unittest.cc)
add_dependencies(download_unittest lite_installer)

lite_unittest(secure_environment_unittest
  src/lite_installer/secure_environment_unittest.cc)
add_dependencies(secure_environment_unittest exit_with)

# Helper programs.
add_executable(run_and_report tools/test_launcher/run_and_report.cc)
target_link_options(run_and_report PRIVATE ${LITE_STATIC_LINK} -municode)
add_executable(exit_with test/helpers/exit_with.cc)
add_executable(download_tool test/helpers/download_tool.cc)
target_link_libraries(download_tool PRIVATE lite_core psapi)
target_link_options(download_tool PRIVATE ${LITE_STATIC_LINK} -municode
                    -Wl,--gc-sections)
target_link_options(exit_with PRIVATE ${LITE_STATIC_LINK} -municode)

# Black-box tests of the real executable.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(LITE_BLACKBOX_ENV
  "LITE_WINE_RUN=${LITE_WINE_RUN};LITE_WINEPREFIX=${LITE_WINE_PREFIX};LITE_INSTALLER_EXE=$<TARGET_FILE:lite_installer>;LITE_LAUNCHER_EXE=$<TARGET_FILE:run_and_report>;LITE_HELPER_EXE=$<TARGET_FILE:exit_with>")
# lite_blackbox_test(<name> <script>): a Python test of the real executable.
# They share the prefix's temporary directory and registry, so they run one
# at a time.
function(lite_blackbox_test name script)
  add_test(NAME ${name}
           COMMAND ${Python3_EXECUTABLE} -u ${CMAKE_SOURCE_DIR}/${script})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT 600 RUN_SERIAL TRUE SKIP_RETURN_CODE 125
    FIXTURES_REQUIRED wine_prefix ENVIRONMENT "${LITE_BLACKBOX_ENV}")
endfunction()
lite_blackbox_test(blackbox_startup test/blackbox/startup_test.py)
lite_blackbox_test(blackbox_distrib_params test/blackbox/distrib_params_test.py)
lite_blackbox_test(blackbox_brand test/blackbox/brand_test.py)
lite_blackbox_test(blackbox_download test/blackbox/download_test.py)
set_property(TEST blackbox_download APPEND PROPERTY ENVIRONMENT
             "LITE_DOWNLOAD_TOOL_EXE=$<TARGET_FILE:download_tool>")
add_dependencies(lite_installer run_and_report exit_with)

add_test(NAME executable_file
         COMMAND ${Python3_EXECUTABLE} -u
                 ${CMAKE_SOURCE_DIR}/test/blackbox/executable_test.py)
set_tests_properties(executable_file PROPERTIES
  ENVIRONMENT "LITE_INSTALLER_EXE=$<TARGET_FILE:lite_installer>;LITE_PRODUCT_VERSION=${LITE_PRODUCT_VERSION}")

# The byte-level units, built for the host with sanitizers, and their fuzz
# targets run for a bounded time.
add_test(NAME host_sanitizers_and_fuzzers
         COMMAND ${CMAKE_SOURCE_DIR}/tools/fuzz/run_host_checks.sh
                 ${CMAKE_BINARY_DIR}/host)
set_tests_properties(host_sanitizers_and_fuzzers PROPERTIES TIMEOUT 900)

# The tagging tool on a really signed installer; read_tag comes from the host
# build of the test above.
add_test(NAME tagging_roundtrip
         COMMAND ${Python3_EXECUTABLE} -u
                 ${CMAKE_SOURCE_DIR}/test/tagging/tagging_test.py)
set_tests_properties(tagging_roundtrip PROPERTIES
  DEPENDS host_sanitizers_and_fuzzers
  ENVIRONMENT "LITE_INSTALLER_EXE=$<TARGET_FILE:lite_installer>;LITE_READ_TAG=${CMAKE_BINARY_DIR}/host/read_tag")

# The local services that play the installer's hosts in tests.
add_test(NAME local_services
         COMMAND ${Python3_EXECUTABLE} -u
                 ${CMAKE_SOURCE_DIR}/test/local_services/local_services_test.py)
set_tests_properties(local_services PROPERTIES TIMEOUT 300)
