# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-compiles the Windows console program with MinGW-w64 (i686-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORVATH_MINGW_TRIPLE i686-w64-mingw32)

# The win32 thread model needs no winpthread runtime; take it when both models are installed.
find_program(CMAKE_CXX_COMPILER NAMES ${ORVATH_MINGW_TRIPLE}-g++-win32 ${ORVATH_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${ORVATH_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVATH_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
