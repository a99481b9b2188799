# Install rules for the programs and Debian packages for the build's architecture:
#
#   cmake --install build --prefix /usr/local      lays out bin/, lib/, include/, share/idl/
#   cpack --config build/CPackConfig.cmake -B build/packages      makes the .deb
#
# The armhf build (cmake/toolchain-armhf.cmake) gives an armhf package, the host build an
# amd64 one. Included at the end of the top-level CMakeLists.txt, after every folder, so
# that it sees which programs exist; the libraries, headers and IDL install from their own
# folders.

# Programs whose folders install nothing themselves (librunner, ecohost and the
# libraries install from their own folders).
foreach(program warden specimen serialterm)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# Debian's name for the target architecture; dpkg would report the build machine's.
if(CMAKE_LIBRARY_ARCHITECTURE MATCHES "^arm-linux-gnueabihf")
  set(_package_arch armhf)
elseif(CMAKE_LIBRARY_ARCHITECTURE MATCHES "^aarch64")
  set(_package_arch arm64)
elseif(CMAKE_LIBRARY_ARCHITECTURE MATCHES "^i386")
  set(_package_arch i386)
else()
  set(_package_arch amd64)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane-payload)
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Payload computer application software: warden, specimen, serialterm, librunner, ecohost")
set(CPACK_PACKAGE_DESCRIPTION
  "The monitor server and client (warden), the sample sensor driver (specimen), the serial
terminal (serialterm), the shared-library runner (librunner) and the ECO sensor host
(ecohost), with the framework, event and sensor libraries, their headers and the IDL.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${_package_arch})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Corvane payload software <payload@corvane.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# dpkg-shlibdeps reads the NEEDED entries of every binary and maps them to the packages
# of that architecture (Boost, omniORB, the C and C++ libraries); our own libraries are
# in the package itself. They carry no version in their names, so the package offers
# no shlibs file of its own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The driver's demo and tests need a naming service and an event channel; a board that
# reaches them elsewhere does not.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "omniorb-nameserver, omnievents")

include(CPack)
