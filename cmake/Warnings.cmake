# Warnings for our own targets; generated IDL stubs do not link this.
add_library(project_warnings INTERFACE)
target_compile_options(project_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wcast-align -Wnull-dereference -Wformat=2 -Wextra-semi
  $<$<CXX_COMPILER_ID:GNU>:-Wlogical-op>)
