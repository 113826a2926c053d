# Cross-compiles the Windows tree with MinGW-w64 (posix threads) for 64-bit Windows; tests run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(TALLOWIN_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
