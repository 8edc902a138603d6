# Bitmaps built into a module as bytes, for platforms without bitmap resources (Linux): the same
# BMP files the Windows modules carry as resources, found there by CBitmap(resourceId) through
# widgets/embedded_bitmaps.h.
#
#   kel_embed_bitmaps(<target> <resource number> <BMP file> [<resource number> <BMP file> ...])
#
# writes, at build time, a C++ source holding each file's bytes and a table that registers them
# under their numbers while the module starts, and adds it to the target (not to a static
# library: its registration must be linked in). The files may be made by the build; the source is
# made again whenever one changes. Run with -P, this file writes that source.

set(_KEL_EMBED_BITMAPS_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(kel_embed_bitmaps target)
    set(pairs ${ARGN})
    list(LENGTH pairs count)
    math(EXPR odd "${count} % 2")
    if(count EQUAL 0 OR odd)
        message(FATAL_ERROR "kel_embed_bitmaps(${target}): give resource numbers and files in pairs")
    endif()
    set(entries)
    set(files)
    set(numbers)
    while(pairs)
        list(POP_FRONT pairs number file)
        if(NOT number MATCHES "^[0-9]+$")
            message(FATAL_ERROR "kel_embed_bitmaps(${target}): \"${number}\" is not a resource number")
        endif()
        if(number IN_LIST numbers)
            message(FATAL_ERROR "kel_embed_bitmaps(${target}): resource ${number} is given twice")
        endif()
        list(APPEND numbers ${number})
        list(APPEND files ${file})
        list(APPEND entries "${number}=${file}")
    endwhile()
    # One argument for the script: "number=file|number=file...".
    list(JOIN entries "|" joined)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_embedded_bitmaps.cpp)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -DKEL_EMBED_OUTPUT=${output} -DKEL_EMBED_TARGET=${target}
                "-DKEL_EMBED_ENTRIES=${joined}" -P ${_KEL_EMBED_BITMAPS_SCRIPT}
        DEPENDS ${files} ${_KEL_EMBED_BITMAPS_SCRIPT}
        COMMENT "Embedding the bitmaps of ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE ${output})
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED KEL_EMBED_OUTPUT)
    string(REPLACE "|" ";" entries "${KEL_EMBED_ENTRIES}")
    set(arrays)
    set(table)
    foreach(entry IN LISTS entries)
        string(FIND "${entry}" "=" split)
        string(SUBSTRING "${entry}" 0 ${split} number)
        math(EXPR start "${split} + 1")
        string(SUBSTRING "${entry}" ${start} -1 file)
        file(READ "${file}" hex HEX)
        if(NOT hex MATCHES "^424d")
            message(FATAL_ERROR "${file} is not a BMP file")
        endif()
        string(LENGTH "${hex}" digits)
        math(EXPR size "${digits} / 2")
        # 16 bytes a line.
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
        string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)"
            "\\1\n    " bytes "${bytes}")
        get_filename_component(name "${file}" NAME)
        string(APPEND arrays "// ${name}, ${size} bytes\n"
            "const unsigned char kBitmap${number}[${size}] = {\n    ${bytes}\n};\n\n")
        string(APPEND table "    {${number}, kBitmap${number}, sizeof(kBitmap${number})},\n")
    endforeach()
    file(WRITE ${KEL_EMBED_OUTPUT}.new
        "// Made by cmake/KelEmbedBitmaps.cmake: the bitmaps of ${KEL_EMBED_TARGET}, by resource "
        "number.\n"
        "#include \"widgets/embedded_bitmaps.h\"\n\nnamespace {\n\n${arrays}"
        "const VSTGUI::EmbeddedBitmap kBitmaps[] = {\n${table}};\n\n"
        "const VSTGUI::EmbeddedBitmapTable registration(kBitmaps, sizeof(kBitmaps) / sizeof(kBitmaps[0]));\n\n"
        "} // namespace\n")
    file(RENAME ${KEL_EMBED_OUTPUT}.new ${KEL_EMBED_OUTPUT})
endif()
