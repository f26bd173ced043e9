# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-compiles the Linux programs for 32-bit ARM (Debian's armhf) with arm-linux-gnueabihf-g++,
# whose defaults are Debian's armhf processor (ARMv7-A, Thumb-2, VFPv3 with the hard-float
# calling convention), so any board Debian runs on runs them.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(ORVATH_CROSS_TRIPLE arm-linux-gnueabihf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
