tests/quarrelby_testsupport_autogen/timestamp: \
  /work/main/tests/CMakeLists.txt \
  /usr/bin/cmake
