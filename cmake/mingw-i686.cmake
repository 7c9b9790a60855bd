# Cross build for 32-bit Windows with MinGW-w64: the deployment target, since the scanner
# maker's library is 32-bit and an in-process server runs inside its host's process.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(HARROWTALLY_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
