# Outside libraries, found once for every folder.
find_package(Threads REQUIRED)
find_package(Boost 1.74 REQUIRED COMPONENTS thread system filesystem serialization date_time
  program_options)
find_package(PkgConfig REQUIRED)
pkg_check_modules(OMNIORB IMPORTED_TARGET omniORB4 omnithread4 omniDynamic4)
pkg_check_modules(OMNICOS IMPORTED_TARGET omniCOS4 omniCOSDynamic4)
find_program(OMNIIDL omniidl)
find_program(OMNINAMES omniNames)
find_program(OMNIEVENTS omniEvents)
find_program(EVENTC eventc)
find_program(NAMECLT nameclt)
