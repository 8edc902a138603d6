# Shared part of the two MinGW-w64 toolchains; expects KEL_MINGW_TRIPLE.
set(CMAKE_C_COMPILER ${KEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KEL_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${KEL_MINGW_TRIPLE}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${KEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Every Windows program (tests, our host) runs under Wine with the project's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
