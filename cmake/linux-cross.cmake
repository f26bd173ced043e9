# SPDX-License-Identifier: GPL-3.0-or-later
# What the Linux cross toolchains share: Debian's cross compiler for ORVATH_CROSS_TRIPLE, its
# libraries under /usr/<triple>, and qemu-user to run what it builds.
find_program(CMAKE_CXX_COMPILER NAMES ${ORVATH_CROSS_TRIPLE}-g++ REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVATH_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
