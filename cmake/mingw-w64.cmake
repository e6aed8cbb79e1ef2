# Shared part of the two MinGW-w64 toolchain files. KELVRA_TOOL_PREFIX names the target triple.
# Debian installs the compilers as <triple>-gcc and <triple>-g++; MSYS2's MinGW shells have the same names.
find_program(CMAKE_C_COMPILER NAMES ${KELVRA_TOOL_PREFIX}-gcc-posix ${KELVRA_TOOL_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${KELVRA_TOOL_PREFIX}-g++-posix ${KELVRA_TOOL_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${KELVRA_TOOL_PREFIX}-windres windres REQUIRED)
find_program(CMAKE_OBJDUMP NAMES ${KELVRA_TOOL_PREFIX}-objdump objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${KELVRA_TOOL_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
