cmake_minimum_required(VERSION 3.25)
# Converts an artwork source again, into a scratch file, and compares it with the build's bitmap.
#   cmake "-DCONVERSION=<conversion command without its output, arguments separated by |>"
#         -DBUILT=<bitmap of the build> -DAGAIN=<scratch bitmap> -P check_artwork_reproducible.cmake
string(REPLACE "|" ";" conversion "${CONVERSION}")
file(REMOVE "${AGAIN}")
get_filename_component(folder "${AGAIN}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
execute_process(COMMAND ${conversion} "${AGAIN}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "converting again failed: ${result}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${BUILT}" "${AGAIN}"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${AGAIN} differs from ${BUILT}")
endif()
message(STATUS "${BUILT}: converted again to the same bytes")
