# Cross build of Sentavio.exe for 32-bit Windows.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw32-win32-threads.cmake)
