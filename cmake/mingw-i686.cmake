# Cross-compiles the Windows tree with MinGW-w64 (posix threads) for 32-bit Windows; tests run under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
set(TALLOWIN_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
