# Windows trees (MinGW-w64, i686 or x86_64): Tallowin.exe, the query tool, Windows tests and end-to-end tests under Wine.
set(STATIC_LINK -static -static-libgcc -static-libstdc++ -Wl,--gc-sections)
# Each function and datum in a section of its own, so that the linker drops what nothing uses.
add_compile_options(-ffunction-sections -fdata-sections)
# The program is small and idle between ticks: it is built for size, but for the code that runs
# over whole answers, histories or pictures and is measured: the decoder, the history and its file,
# and the graph column.
string(REPLACE "-O3" "-Os" CMAKE_CXX_FLAGS_RELEASE "${CMAKE_CXX_FLAGS_RELEASE}")
set_source_files_properties(status/decode.cpp status/history.cpp view/render_win.cpp PROPERTIES COMPILE_OPTIONS -O3)

add_core_library(tallowin_core)
# The program catches nothing, and its statics are made on the window's thread: its code is built
# without exception tables or guarded statics, so that the library's exception handling and the
# thread library it needs (some 60 KB) stay out of the file. The query tool keeps them (its command
# line parser throws).
set(PROGRAM_ONLY_OPTIONS -fno-exceptions -fno-threadsafe-statics)
add_core_library(tallowin_program_core)
target_compile_options(tallowin_program_core PRIVATE ${PROGRAM_ONLY_OPTIONS})

# The tree's Wine architecture, for the scripts that run its programs.
if(NOT TALLOWIN_WINEARCH)
  set(TALLOWIN_WINEARCH win32)
endif()
file(WRITE ${CMAKE_BINARY_DIR}/wine-arch "${TALLOWIN_WINEARCH}\n")

# The Win32 glue beside the core, shared by the program and its Windows tests.
add_library(tallowin_win STATIC
  app/window_win.cpp
  app/accessible_win.cpp
  app/commands_win.cpp
  app/graph_win.cpp
  app/alerts_win.cpp
  app/tray_win.cpp
  app/startup_win.cpp
  status/socket_win.cpp
  status/history_win.cpp
  status/deliver_win.cpp
  status/libraries_win.cpp
  view/render_win.cpp
  settings/registry_store_win.cpp
  app/options_win.cpp
  app/about_win.cpp
  app/minimum_win.cpp)
target_compile_definitions(tallowin_win PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX
  TALLOWIN_DEFAULT_STATUS_HOST="${TALLOWIN_STATUS_HOST}")
target_compile_options(tallowin_win PRIVATE ${PROGRAM_ONLY_OPTIONS})
# uuid before oleacc: liboleacc.a has a stub of its own under the name IID_IAccessible.
target_link_libraries(tallowin_win PUBLIC tallowin_program_core ws2_32 gdi32 user32 shell32 uuid oleacc ole32 oleaut32)

add_executable(Tallowin WIN32 app/main_win.cpp res/tallowin.rc)
target_compile_options(Tallowin PRIVATE ${PROGRAM_ONLY_OPTIONS})
target_link_libraries(Tallowin PRIVATE tallowin_win)
target_link_options(Tallowin PRIVATE ${STATIC_LINK} -s)
# The version resource takes the project's version.
configure_file(res/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)
set_property(SOURCE res/tallowin.rc PROPERTY INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/generated)
set_property(SOURCE res/tallowin.rc APPEND PROPERTY OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/generated/version.h
  ${CMAKE_SOURCE_DIR}/res/resource.h ${CMAKE_SOURCE_DIR}/res/app.ico ${CMAKE_SOURCE_DIR}/res/neutral.ico
  ${CMAKE_SOURCE_DIR}/res/primary_up.ico ${CMAKE_SOURCE_DIR}/res/primary_down.ico
  ${CMAKE_SOURCE_DIR}/res/tallowin.manifest)

if(HAVE_TOOL_HEADERS)
  include(cmake/tools.cmake)
endif()

# The installer's own actions on the start-up entry (tools/release/tallowin.wxs runs them). Exported by
# their plain names, as the installer looks them up.
add_library(startup-entry MODULE tools/release/startup_entry_win.cpp)
set_target_properties(startup-entry PROPERTIES PREFIX "")
target_link_libraries(startup-entry PRIVATE msi)
target_link_options(startup-entry PRIVATE ${STATIC_LINK} -s -Wl,--kill-at)

# The program declares itself aware of each monitor's resolution, in the manifest it carries.
find_program(WRESTOOL wrestool)
if(WRESTOOL)
  add_test(NAME manifest_dpi COMMAND sh -c "${WRESTOOL} -x --raw -t 24 \"$1\" | tr -d '\\n' | grep -q '<dpiAware[^>]*>true/pm</dpiAware>.*<dpiAwareness[^>]*>PerMonitorV2, PerMonitor</dpiAwareness>'" sh $<TARGET_FILE:Tallowin>)
  set_tests_properties(manifest_dpi PROPERTIES LABELS win)
endif()

set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources, for the Windows tests")
if(NOT EXISTS ${GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(STATUS "No GoogleTest sources: the Windows tests are left out")
  return()
endif()

# GoogleTest, built from source with the same compiler.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -Wno-error)
target_compile_options(gtest_main PRIVATE -Wno-error)

function(add_windows_test name)
  add_executable(${name} ${ARGN} res/tallowin.rc)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE tallowin_win gtest_main)
  target_link_options(${name} PRIVATE ${STATIC_LINK})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE TIMEOUT 300 LABELS win)
endfunction()

add_windows_test(registry_win_test tests/win/registry_test.cpp)
add_windows_test(socket_win_test tests/win/socket_test.cpp tests/win/loopback_peer.cpp)
add_windows_test(render_win_test tests/win/render_test.cpp)
add_windows_test(window_win_test tests/win/window_test.cpp tests/win/loopback_peer.cpp)
# A library that leaves a file beside itself when loaded, planted under a system library's name
# (in a folder of its own: beside the tests it would be loaded whenever Wine is told to prefer it).
add_library(planted_comdlg32 SHARED tests/win/planted_dll.cpp)
set_target_properties(planted_comdlg32 PROPERTIES OUTPUT_NAME comdlg32 PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/planted)
target_link_options(planted_comdlg32 PRIVATE ${STATIC_LINK})

add_windows_test(commands_win_test tests/win/commands_test.cpp tests/win/loopback_peer.cpp)
add_dependencies(commands_win_test planted_comdlg32)
add_windows_test(history_win_test tests/win/history_test.cpp)

# A helper the end-to-end tests use to look at and poke the program's windows.
add_executable(tallowin-probe tests/e2e/probe.cpp)
# It reads the report window through Active Accessibility too, as a screen reader would.
target_link_libraries(tallowin-probe PRIVATE gdi32 user32 shell32 advapi32 uuid oleacc ole32 oleaut32)
target_link_options(tallowin-probe PRIVATE ${STATIC_LINK})

# Per-tick cost and resource use of the real window procedure, measured under Wine.
add_executable(tick_bench_win tests/bench/tick_bench_win.cpp tests/unit/answers.cpp tests/win/loopback_peer.cpp res/tallowin.rc)
target_include_directories(tick_bench_win PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(tick_bench_win PRIVATE tallowin_win psapi)
target_link_options(tick_bench_win PRIVATE ${STATIC_LINK})

# Handles and GDI objects over repeated openings of the two dialogs.
add_executable(dialog_bench_win tests/bench/dialog_bench_win.cpp tests/win/loopback_peer.cpp res/tallowin.rc)
target_include_directories(dialog_bench_win PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(dialog_bench_win PRIVATE tallowin_win)
target_link_options(dialog_bench_win PRIVATE ${STATIC_LINK})

set(TALLOWIN_STATUSD "" CACHE FILEPATH "The native tallowin-statusd, for the end-to-end tests")
find_program(PYTHON3 python3)
if(PYTHON3)
  # The release's packages and manifests against their rules (tools/release.sh makes them).
  add_test(NAME release_check
           COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tools/release/release.py check ${CMAKE_SOURCE_DIR}/dist ${PROJECT_VERSION})
endif()
if(TALLOWIN_STATUSD AND PYTHON3)
  set(E2E_ARGS --arch ${TALLOWIN_WINEARCH} --version ${PROJECT_VERSION} --exe $<TARGET_FILE:Tallowin>
      --probe $<TARGET_FILE:tallowin-probe> --statusd ${TALLOWIN_STATUSD} --prefix ${CMAKE_BINARY_DIR}/wineprefix
      --work ${CMAKE_BINARY_DIR}/e2e)
  foreach(test startup poll garbage menus notify history dpi alerts host access)
    add_test(NAME e2e_${test} COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/e2e/e2e_${test}.py ${E2E_ARGS})
    set_tests_properties(e2e_${test} PROPERTIES RUN_SERIAL TRUE TIMEOUT 900 LABELS e2e)
  endforeach()
  # The release packages of this tree's width (tools/release.sh makes them): the zip unpacked and
  # started, the installer package installed, upgraded and removed.
  add_test(NAME e2e_release COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/e2e/e2e_release.py ${E2E_ARGS}
           --dist ${CMAKE_SOURCE_DIR}/dist)
  add_test(NAME e2e_installer COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/e2e/e2e_installer.py ${E2E_ARGS}
           --dist ${CMAKE_SOURCE_DIR}/dist --tree ${CMAKE_BINARY_DIR})
  set_tests_properties(e2e_release e2e_installer PROPERTIES RUN_SERIAL TRUE TIMEOUT 300 LABELS e2e)
  if(HAVE_TOOL_HEADERS)
    add_test(NAME query_win
      COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/e2e/tools_test.py --statusd ${TALLOWIN_STATUSD}
              --query $<TARGET_FILE:tallowin-query> --address 127.0.0.62 --wrapper ${CMAKE_CROSSCOMPILING_EMULATOR})
    set_tests_properties(query_win PROPERTIES RUN_SERIAL TRUE TIMEOUT 300 LABELS win)
    add_test(NAME serve_win
      COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/e2e/serve_test.py --statusd ${TALLOWIN_STATUSD}
              --query $<TARGET_FILE:tallowin-query> --rules ${CMAKE_SOURCE_DIR}/deploy/prometheus/tallowin-rules.yml
              --address 127.0.0.75 --wrapper ${CMAKE_CROSSCOMPILING_EMULATOR})
    set_tests_properties(serve_win PROPERTIES RUN_SERIAL TRUE TIMEOUT 300 LABELS win)
  endif()
  add_test(NAME e2e_stale COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/e2e/e2e_stale.py ${E2E_ARGS})
  set_tests_properties(e2e_stale PROPERTIES RUN_SERIAL TRUE TIMEOUT 900 LABELS "e2e;slow")
endif()
