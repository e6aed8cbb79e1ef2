# 32-bit Windows build with MinGW-w64: the build that ships to Windows 2000 and XP, and the one
# that the tests run under 32-bit Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KELVRA_TOOL_PREFIX i686-w64-mingw32)
# Windows 2000 runs on a Pentium. Debian's compiler targets the Pentium Pro, whose CMOV and
# FCOMI a Pentium or an AMD K6 meets as an illegal instruction.
set(CMAKE_C_FLAGS_INIT "-march=i586")
set(CMAKE_CXX_FLAGS_INIT "-march=i586")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
