# The build machine's own compiler: the code that needs no Win32, under sanitizers.
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
