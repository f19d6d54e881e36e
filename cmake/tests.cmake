# Tests: GoogleTest executables that run under Wine (one CTest entry each),
# helper programs, and black-box tests that drive the real installer.

set(LITE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# Windows programs run several times slower under the user-mode emulator
# (tools/wine/i386_emulation.sh); the tests' time-outs grow with them.
if(EXISTS /proc/sys/fs/binfmt_misc/lite-qemu-i386)
  set(LITE_TIME_SCALE 4)
else()
  set(LITE_TIME_SCALE 1)
endif()
math(EXPR LITE_TIMEOUT_300 "300 * ${LITE_TIME_SCALE}")
math(EXPR LITE_TIMEOUT_600 "600 * ${LITE_TIME_SCALE}")
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
  set_tests_properties(${name} PROPERTIES TIMEOUT ${LITE_TIMEOUT_300} SKIP_RETURN_CODE 125
                       FIXTURES_REQUIRED wine_prefix)
endfunction()

# Creates the test run's Wine prefix once, before any test needs it, and
# starts its persistent wineserver.
add_test(NAME wine_prefix COMMAND ${LITE_WINE_RUN} --prefix ${LITE_WINE_PREFIX} --init)
set_tests_properties(wine_prefix PROPERTIES
  TIMEOUT ${LITE_TIMEOUT_300} SKIP_RETURN_CODE 125 FIXTURES_SETUP wine_prefix)

lite_unittest(installer_command_line_unittest
  src/lite_installer/installer_command_line_unittest.cc
  src/lite_installer/setup_command_line_unittest.cc)
lite_unittest(base_unittest
  src/base/file_util_unittest.cc
  src/base/guid_unittest.cc
  src/base/process_unittest.cc
  src/base/scoped_generic_unittest.cc
  src/base/string_util_unittest.cc
  src/base/worker_thread_unittest.cc)
add_dependencies(base_unittest exit_with)
lite_unittest(file_logger_unittest
  src/lite_util/logging/file_logger_unittest.cc
  src/lite_util/logging/log_line_format_unittest.cc)
lite_unittest(json_with_comments_unittest
  src/lite_util/json_comments_unittest.cc
  src/lite_util/json_with_comments_unittest.cc)
lite_unittest(installer_tag_unittest
  src/lite_installer/brand/installer_tag_unittest.cc
  src/lite_installer/brand/distrib_params_unittest.cc)
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
  src/lite_installer/brand/brand_info_unittest.cc
  src/lite_installer/brand/installer_data_unittest.cc
  src/lite_util/cabinet_reader_unittest.cc
  test/resources/brand_packages.rc)
target_include_directories(brand_info_unittest PRIVATE ${LITE_TEST_RES_GEN}
                           ${LITE_RES_GEN})

lite_unittest(download_unittest
  src/lite_util/blocking_call_thread_unittest.cc
  src/lite_util/download_urls_unittest.cc
  src/lite_util/internet_downloader_unittest.cc
  src/lite_util/response_body_unittest.cc
  src/lite_installer/module_download_unittest.cc
  src/lite_util/install_stat_sender_unittest.cc
  src/lite_util/url_escape_unittest.cc)
add_dependencies(download_unittest lite_installer)

lite_unittest(installer_unittest src/lite_installer/installer_unittest.cc)
add_dependencies(installer_unittest exit_with)
lite_unittest(elevation_unittest
  src/lite_installer/elevation_unittest.cc
  src/lite_installer/elevated_process_unittest.cc)
add_dependencies(elevation_unittest exit_with)

lite_unittest(interface_probe_unittest
  src/zarvex/util/application_association_registration_internal_unittest.cc)
add_dependencies(interface_probe_unittest exit_with)

lite_unittest(secure_environment_unittest
  src/lite_installer/secure_environment_unittest.cc)
add_dependencies(secure_environment_unittest exit_with)

# Helper programs.
add_executable(run_and_report tools/test_launcher/run_and_report.cc)
target_link_options(run_and_report PRIVATE ${LITE_STATIC_LINK} -municode)
add_executable(exit_with test/helpers/exit_with.cc)
# The helper programs own their handles with base's header-only owners.
target_include_directories(run_and_report PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_include_directories(exit_with PRIVATE ${CMAKE_SOURCE_DIR}/src)
# For the planted-DLL test: a marker DLL that records being loaded, and a
# program that imports at load time every DLL the installer must not.
add_library(load_marker SHARED test/helpers/load_marker.cc)
set_target_properties(load_marker PROPERTIES PREFIX "")
target_include_directories(load_marker PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_options(load_marker PRIVATE ${LITE_STATIC_LINK})
add_executable(unsafe_imports test/helpers/unsafe_imports.cc)
target_link_libraries(unsafe_imports PRIVATE bcrypt cabinet comctl32 crypt32
  dbghelp gdiplus mpr msimg32 oleacc urlmon uxtheme version winhttp wininet
  wintrust)
target_link_options(unsafe_imports PRIVATE ${LITE_STATIC_LINK})
add_executable(download_tool test/helpers/download_tool.cc)
target_link_libraries(download_tool PRIVATE lite_core psapi)
target_link_options(download_tool PRIVATE ${LITE_STATIC_LINK} -municode
                    -Wl,--gc-sections)
target_link_options(exit_with PRIVATE ${LITE_STATIC_LINK} -municode)
# The first installer's side of the elevation handshake.
add_executable(elevation_parent test/helpers/elevation_parent.cc)
target_link_libraries(elevation_parent PRIVATE lite_core)
target_link_options(elevation_parent PRIVATE ${LITE_STATIC_LINK} -municode
                    -Wl,--gc-sections)
# The download benchmark's reference: a bare WinINet loop (not a test).
add_executable(wininet_loop tools/bench/wininet_loop.cc)
target_include_directories(wininet_loop PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(wininet_loop PRIVATE wininet psapi)
target_link_options(wininet_loop PRIVATE ${LITE_STATIC_LINK} -municode)

# Black-box tests of the real executable.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(LITE_BLACKBOX_ENV
  "LITE_ADD_ROOT_CERT_EXE=$<TARGET_FILE:add_root_cert>;LITE_WINE_RUN=${LITE_WINE_RUN};LITE_WINEPREFIX=${LITE_WINE_PREFIX};LITE_INSTALLER_EXE=$<TARGET_FILE:lite_installer>;LITE_LAUNCHER_EXE=$<TARGET_FILE:run_and_report>;LITE_HELPER_EXE=$<TARGET_FILE:exit_with>")
# lite_blackbox_test(<name> <script>): a Python test of the real executable.
# They share the prefix's temporary directory and registry, so they run one
# at a time.
function(lite_blackbox_test name script)
  add_test(NAME ${name}
           COMMAND ${Python3_EXECUTABLE} -u ${CMAKE_SOURCE_DIR}/${script})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${LITE_TIMEOUT_600} RUN_SERIAL TRUE SKIP_RETURN_CODE 125
    FIXTURES_REQUIRED wine_prefix ENVIRONMENT "${LITE_BLACKBOX_ENV}")
endfunction()
lite_blackbox_test(blackbox_startup test/blackbox/startup_test.py)
lite_blackbox_test(blackbox_distrib_params test/blackbox/distrib_params_test.py)
lite_blackbox_test(blackbox_brand test/blackbox/brand_test.py)
lite_blackbox_test(blackbox_download test/blackbox/download_test.py)
lite_blackbox_test(blackbox_install test/blackbox/install_test.py)
set_property(TEST blackbox_download APPEND PROPERTY ENVIRONMENT
             "LITE_DOWNLOAD_TOOL_EXE=$<TARGET_FILE:download_tool>")
lite_blackbox_test(blackbox_planted_dlls test/blackbox/planted_dll_test.py)
set_property(TEST blackbox_planted_dlls APPEND PROPERTY ENVIRONMENT
             "LITE_LOAD_MARKER_DLL=$<TARGET_FILE:load_marker>;LITE_UNSAFE_IMPORTS_EXE=$<TARGET_FILE:unsafe_imports>")
lite_blackbox_test(blackbox_background_tasks
                   test/blackbox/background_tasks_test.py)
set_property(TEST blackbox_background_tasks APPEND PROPERTY ENVIRONMENT
             "LITE_DOWNLOAD_TOOL_EXE=$<TARGET_FILE:download_tool>")
lite_blackbox_test(blackbox_elevation test/blackbox/elevation_test.py)
add_dependencies(lite_installer run_and_report exit_with elevation_parent)

add_test(NAME executable_file
         COMMAND ${Python3_EXECUTABLE} -u
                 ${CMAKE_SOURCE_DIR}/test/blackbox/executable_test.py)
set_tests_properties(executable_file PROPERTIES
  ENVIRONMENT "LITE_INSTALLER_EXE=$<TARGET_FILE:lite_installer>;LITE_PRODUCT_VERSION=${LITE_PRODUCT_VERSION}")

# Every C and C++ file as clang-format makes it.
add_test(NAME source_format COMMAND ${CMAKE_SOURCE_DIR}/tools/check_format.sh)

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
# Trust verification: the decision rules over recorded signature facts, the
# signature primitives, the exception guard and the byte-level pieces.
lite_unittest(trust_unittest
  src/base/base64_unittest.cc
  src/lite_util/exception_guard_unittest.cc
  src/lite_util/extended_check_policy_unittest.cc
  src/lite_util/signature_verifier_unittest.cc
  src/lite_util/trust_bytes_unittest.cc
  src/lite_util/trust_decision_unittest.cc
  src/lite_util/trusted_certificate_list_unittest.cc)

# lite_windows_path(<var> <path>): the path as Windows programs under Wine
# see it (the Z: drive maps the Linux root).
function(lite_windows_path var path)
  string(REPLACE "/" "\\" windows_path "${path}")
  set(${var} "Z:${windows_path}" PARENT_SCOPE)
endfunction()

# The development root and the local services' CA are trusted roots of the
# test prefix (never of the host): a second set-up step of the wine_prefix
# fixture, after the prefix exists. Adding a certificate that is already
# there changes nothing.
add_executable(add_root_cert tools/test_launcher/add_root_cert.cc)
target_include_directories(add_root_cert PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(add_root_cert PRIVATE crypt32)
target_link_options(add_root_cert PRIVATE ${LITE_STATIC_LINK} -municode)
lite_windows_path(dev_root_windows ${LITE_DEV_PKI_DIR}/code_signing/root.pem)
lite_windows_path(tls_ca_windows ${LITE_DEV_PKI_DIR}/tls/ca.pem)
add_test(NAME wine_trusted_roots
         COMMAND ${LITE_WINE_RUN} --prefix ${LITE_WINE_PREFIX}
                 $<TARGET_FILE:add_root_cert> ${dev_root_windows}
                 ${tls_ca_windows})
set_tests_properties(wine_trusted_roots PROPERTIES
  TIMEOUT ${LITE_TIMEOUT_300} SKIP_RETURN_CODE 125 FIXTURES_SETUP wine_prefix
  DEPENDS wine_prefix)

# The stand-in setup program (browser-setup.arc) and the packages of the
# trust tests: the same program, each copy linked with its own trusted list
# and list signature (test/setup_stub/make_trusted_lists.py).
set(LITE_TRUST_LISTS ${CMAKE_BINARY_DIR}/gen/trust_lists)
set(LITE_TRUST_PACKAGES ${CMAKE_BINARY_DIR}/trust_packages)
set(trust_packages browser_setup unlisted cryptoapi_order malformed_members
    ids_only sha1_only bad_signature key10 short_signature no_signature
    no_list)
set(trust_package_rc_files)
foreach(package IN LISTS trust_packages)
  list(APPEND trust_package_rc_files ${LITE_TRUST_LISTS}/${package}.rc)
endforeach()
add_custom_command(OUTPUT ${trust_package_rc_files}
  COMMAND ${Python3_EXECUTABLE}
          ${CMAKE_SOURCE_DIR}/test/setup_stub/make_trusted_lists.py
          ${LITE_DEV_PKI_DIR} ${LITE_TRUST_LISTS}
  DEPENDS ${CMAKE_SOURCE_DIR}/test/setup_stub/make_trusted_lists.py
          ${LITE_DEV_PKI_DIR}/stamp
  VERBATIM)
add_library(setup_stub_main OBJECT test/setup_stub/setup_stub.cc)
target_include_directories(setup_stub_main PRIVATE ${CMAKE_SOURCE_DIR}/src)
foreach(package IN LISTS trust_packages)
  add_executable(trust_package_${package} WIN32
    $<TARGET_OBJECTS:setup_stub_main> ${LITE_TRUST_LISTS}/${package}.rc)
  target_link_options(trust_package_${package} PRIVATE
    ${LITE_STATIC_LINK} -municode -mwindows -s)
  set_target_properties(trust_package_${package} PROPERTIES
    OUTPUT_NAME ${package} RUNTIME_OUTPUT_DIRECTORY ${LITE_TRUST_PACKAGES})
endforeach()
# Signed by the development signer: what the local services serve.
set(LITE_SETUP_PACKAGE ${CMAKE_BINARY_DIR}/browser-setup.arc)
set(code_signing ${LITE_DEV_PKI_DIR}/code_signing)
add_custom_command(OUTPUT ${LITE_SETUP_PACKAGE}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${LITE_SETUP_PACKAGE}
  COMMAND osslsigncode sign -certs ${code_signing}/signer_chain.pem
          -key ${code_signing}/signer.key -h sha256
          -in $<TARGET_FILE:trust_package_browser_setup>
          -out ${LITE_SETUP_PACKAGE} > /dev/null
  DEPENDS trust_package_browser_setup ${LITE_DEV_PKI_DIR}/stamp)
add_custom_target(browser_setup_package ALL DEPENDS ${LITE_SETUP_PACKAGE})

add_executable(verify_package test/helpers/verify_package.cc
                              test/helpers/verify_package.rc)
target_include_directories(verify_package PRIVATE ${CMAKE_SOURCE_DIR}
                           ${CMAKE_SOURCE_DIR}/res)
target_link_libraries(verify_package PRIVATE lite_core)
target_link_options(verify_package PRIVATE ${LITE_STATIC_LINK} -municode
                    -Wl,--gc-sections)
add_executable(setup_stub_probe test/helpers/setup_stub_probe.cc)
target_include_directories(setup_stub_probe PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_options(setup_stub_probe PRIVATE ${LITE_STATIC_LINK} -municode)

set(LITE_TRUST_TEST_ENV
  "${LITE_BLACKBOX_ENV};LITE_VERIFY_PACKAGE_EXE=$<TARGET_FILE:verify_package>;LITE_ADD_ROOT_CERT_EXE=$<TARGET_FILE:add_root_cert>;LITE_SETUP_STUB_PROBE_EXE=$<TARGET_FILE:setup_stub_probe>;LITE_TRUST_PACKAGES=${LITE_TRUST_PACKAGES};LITE_SETUP_PACKAGE=${LITE_SETUP_PACKAGE};LITE_DEV_PKI_DIR=${LITE_DEV_PKI_DIR}")
add_test(NAME blackbox_trust
         COMMAND ${Python3_EXECUTABLE} -u
                 ${CMAKE_SOURCE_DIR}/test/blackbox/trust_test.py TrustTest)
# The rows Wine cannot show to the end: reported as skipped, with the
# reasons, while Wine behaves so.
add_test(NAME blackbox_trust_beyond_wine
         COMMAND ${Python3_EXECUTABLE} -u
                 ${CMAKE_SOURCE_DIR}/test/blackbox/trust_test.py
                 BeyondWineTest)
add_test(NAME blackbox_setup_stub
         COMMAND ${Python3_EXECUTABLE} -u
                 ${CMAKE_SOURCE_DIR}/test/blackbox/setup_stub_test.py)
set_tests_properties(blackbox_trust blackbox_trust_beyond_wine
                     blackbox_setup_stub PROPERTIES
  TIMEOUT ${LITE_TIMEOUT_600} SKIP_RETURN_CODE 125 FIXTURES_REQUIRED wine_prefix
  ENVIRONMENT "${LITE_TRUST_TEST_ENV}")
# Both trust entries use the same extra prefixes.
set_tests_properties(blackbox_trust_beyond_wine PROPERTIES
                     DEPENDS blackbox_trust RESOURCE_LOCK trust_prefixes)
set_tests_properties(blackbox_trust PROPERTIES RESOURCE_LOCK trust_prefixes)

# The block shared with the elevated copy (its cross-process test starts the
# test executable a second time) and the meaning of setup exit codes.
lite_unittest(delayed_params_unittest
  src/lite_installer/delayed_params_unittest.cc
  src/lite_installer/setup_exit_codes_unittest.cc)
lite_unittest(async_install_tasks_unittest
  src/lite_installer/async_install_tasks_unittest.cc
  src/lite_installer/variations_file_unittest.cc)
