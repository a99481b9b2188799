# Cross build for the payload board (32-bit ARM, hard-float, Debian's armhf ABI) from a
# Debian 12 amd64 machine prepared by scripts/cross-prepare.sh:
#
#   cmake -S . -B build-armhf -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake
#
# Boost, GoogleTest and Google Benchmark come from the armhf multiarch packages
# (/usr/lib/arm-linux-gnueabihf). omniORB's armhf development files cannot be installed
# beside the amd64 ones and are unpacked into a staging folder instead:
# CORVANE_ARMHF_STAGING (cache variable or environment), by default
# /opt/corvane-armhf-staging. omniidl and the omniORB daemons run on the host: the IDL
# compiler's output is the same for every architecture.
#
# Tests run under qemu-arm-static. It gets no -L: the loader and C library of the armhf
# multiarch packages are found at their usual paths, and the cross compiler's own copy of
# the C library is a different release.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)

if(NOT CORVANE_ARMHF_STAGING)
  if(DEFINED ENV{CORVANE_ARMHF_STAGING})
    set(CORVANE_ARMHF_STAGING "$ENV{CORVANE_ARMHF_STAGING}")
  else()
    set(CORVANE_ARMHF_STAGING /opt/corvane-armhf-staging)
  endif()
endif()
set(CORVANE_ARMHF_STAGING "${CORVANE_ARMHF_STAGING}" CACHE PATH
  "Folder holding the unpacked armhf omniORB development packages")
# try_compile projects read this file again and need the same folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CORVANE_ARMHF_STAGING)

if(NOT EXISTS "${CORVANE_ARMHF_STAGING}/usr/include/omniORB4/acconfig.h")
  message(FATAL_ERROR "No armhf omniORB in ${CORVANE_ARMHF_STAGING}: run scripts/cross-prepare.sh")
endif()

# The staging folder first, then the host's /usr, whose lib/arm-linux-gnueabihf holds
# the armhf libraries. Programs are always the host's.
set(CMAKE_FIND_ROOT_PATH "${CORVANE_ARMHF_STAGING}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# The compiler searches /usr/include, which holds the amd64 omniORB headers: the armhf
# ones must come before it on every compile line, not only where pkg-config's flags reach.
set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES "${CORVANE_ARMHF_STAGING}/usr/include")
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES "${CORVANE_ARMHF_STAGING}/usr/include")
# Libraries that the staged omniORB libraries load in turn.
set(CMAKE_EXE_LINKER_FLAGS_INIT
  "-Wl,-rpath-link,${CORVANE_ARMHF_STAGING}/usr/lib/arm-linux-gnueabihf")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${CMAKE_EXE_LINKER_FLAGS_INIT}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${CMAKE_EXE_LINKER_FLAGS_INIT}")

# pkg-config reads the staged omniORB files first (cross-prepare.sh points their prefix at
# the staging folder), then the armhf multiarch ones, and never the host's.
set(ENV{PKG_CONFIG_LIBDIR}
  "${CORVANE_ARMHF_STAGING}/usr/lib/arm-linux-gnueabihf/pkgconfig:/usr/lib/arm-linux-gnueabihf/pkgconfig:/usr/share/pkgconfig")
unset(ENV{PKG_CONFIG_PATH})
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

find_program(CORVANE_QEMU_ARM qemu-arm-static)
if(NOT CORVANE_QEMU_ARM)
  message(FATAL_ERROR "qemu-arm-static not found: run scripts/cross-prepare.sh")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR "${CORVANE_QEMU_ARM}")
