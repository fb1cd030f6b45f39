# Additional clean files
cmake_minimum_required(VERSION 3.16)

if("${CONFIG}" STREQUAL "" OR "${CONFIG}" STREQUAL "RelWithDebInfo")
  file(REMOVE_RECURSE
  "CMakeFiles/quarrelby_autogen.dir/AutogenUsed.txt"
  "CMakeFiles/quarrelby_autogen.dir/ParseCache.txt"
  "CMakeFiles/quarrelby_core_autogen.dir/AutogenUsed.txt"
  "CMakeFiles/quarrelby_core_autogen.dir/ParseCache.txt"
  "bench/CMakeFiles/quarrelby_benchsupport_autogen.dir/AutogenUsed.txt"
  "bench/CMakeFiles/quarrelby_benchsupport_autogen.dir/ParseCache.txt"
  "bench/quarrelby_benchsupport_autogen"
  "quarrelby_autogen"
  "quarrelby_core_autogen"
  "tests/CMakeFiles/quarrelby_testsupport_autogen.dir/AutogenUsed.txt"
  "tests/CMakeFiles/quarrelby_testsupport_autogen.dir/ParseCache.txt"
  "tests/quarrelby_testsupport_autogen"
  )
endif()
