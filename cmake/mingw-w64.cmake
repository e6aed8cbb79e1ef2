# Shared part of the two MinGW-w64 toolchain files. KELVRA_TOOL_PREFIX names the target triple.
# Debian installs the compilers as <triple>-gcc and <triple>-g++. In an MSYS2 MinGW shell on
# Windows the plain names (gcc, g++, windres) are that shell's target's compilers, so they
# are taken there too; on Linux they would be the native compilers, so they are not.
set(names_c ${KELVRA_TOOL_PREFIX}-gcc-posix ${KELVRA_TOOL_PREFIX}-gcc)
set(names_cxx ${KELVRA_TOOL_PREFIX}-g++-posix ${KELVRA_TOOL_PREFIX}-g++)
set(names_rc ${KELVRA_TOOL_PREFIX}-windres)
set(names_objdump ${KELVRA_TOOL_PREFIX}-objdump)
if(CMAKE_HOST_WIN32)
    list(APPEND names_c gcc)
    list(APPEND names_cxx g++)
    list(APPEND names_rc windres)
    list(APPEND names_objdump objdump)
endif()
find_program(CMAKE_C_COMPILER NAMES ${names_c} REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${names_cxx} REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${names_rc} REQUIRED)
find_program(CMAKE_OBJDUMP NAMES ${names_objdump} REQUIRED)

if(NOT CMAKE_HOST_WIN32)
    set(CMAKE_FIND_ROOT_PATH /usr/${KELVRA_TOOL_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
