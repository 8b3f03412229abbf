# Test build for 64-bit Windows: the same sources as Sentavio.exe, for hosts
# whose kernel cannot run 32-bit Wine. Never shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw32-win32-threads.cmake)
