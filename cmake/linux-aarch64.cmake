# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-compiles the Linux programs for 64-bit ARM (Debian's arm64) with aarch64-linux-gnu-g++.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(ORVATH_CROSS_TRIPLE aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
