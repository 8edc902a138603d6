# Compiler settings shared by every target of the tree.

# The plug-ins give the same output, bit for bit, on every target: SSE arithmetic and no fused
# multiply-add, so every value rounds to 32-bit float exactly where the code says it does.
set(KEL_FLOAT_FLAGS -msse2 -mfpmath=sse -ffp-contract=off)

add_library(kel_build_flags INTERFACE)
target_compile_features(kel_build_flags INTERFACE cxx_std_17)
target_compile_options(kel_build_flags INTERFACE
    ${KEL_FLOAT_FLAGS}
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wshadow -Wnon-virtual-dtor>)

if(WIN32)
    target_compile_definitions(kel_build_flags INTERFACE
        WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 STRICT)
    # C and C++ runtimes linked in statically: a module imports nothing but Windows system DLLs.
    target_link_options(kel_build_flags INTERFACE -static -static-libgcc -static-libstdc++)
endif()

# float-cast-overflow is not part of "undefined" in GCC: it catches a NaN or an out-of-range
# float turned into an integer.
if(KEL_SANITIZE)
    target_compile_options(kel_build_flags INTERFACE
        -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    target_link_options(kel_build_flags INTERFACE -fsanitize=address,undefined,float-cast-overflow)
endif()

# Adds one test executable that runs as a single CTest test (one Wine start for many cases).
function(kel_add_test_executable name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest_main kel_build_flags)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
endfunction()
