# The test build: 64-bit Windows, run by the tests under Wine.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VK_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
