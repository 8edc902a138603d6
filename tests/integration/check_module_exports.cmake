cmake_minimum_required(VERSION 3.25)
# Checks a plug-in module's export table and import list with objdump:
# exactly one export, "main", and imports of Windows system DLLs only.
#   cmake -DOBJDUMP=... -DMODULE=... -P check_module_exports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${MODULE}")
endif()

string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(\t[^\n]*\n)*" names "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" exports "${names}")
list(LENGTH exports count)
if(NOT count EQUAL 1 OR NOT exports MATCHES "\\] main$")
    message(FATAL_ERROR "${MODULE} must export exactly \"main\", exports: ${exports}")
endif()

set(system_dlls kernel32.dll user32.dll gdi32.dll advapi32.dll comdlg32.dll shell32.dll
    ole32.dll msvcrt.dll)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
foreach(line IN LISTS imports)
    string(REGEX REPLACE "DLL Name: " "" dll "${line}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll IN_LIST system_dlls)
        message(FATAL_ERROR "${MODULE} imports ${dll}, which is not a Windows system DLL")
    endif()
endforeach()
message(STATUS "${MODULE}: exports main; imports ${imports}")
