# The build machine's clang: the fuzz targets (libFuzzer) under sanitizers.
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
