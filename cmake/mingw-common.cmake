# Cross build for Windows with mingw-w64; the including toolchain file sets
# CMAKE_SYSTEM_PROCESSOR and TARVEL_MINGW_PREFIX. The program links no
# runtime library, so the thread model of the compiler variant does not matter.
set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_C_COMPILER NAMES ${TARVEL_MINGW_PREFIX}-gcc-posix ${TARVEL_MINGW_PREFIX}-gcc-win32 ${TARVEL_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TARVEL_MINGW_PREFIX}-g++-posix ${TARVEL_MINGW_PREFIX}-g++-win32 ${TARVEL_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TARVEL_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${TARVEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
