# The editor's artwork: SVG sources turned into the 24-bit BMP resources 528 to 571 at build time.
# rsvg-convert renders each source, scripts/svg_to_bmp.py checks its size, keys it and writes the
# BMP. Sizes and numbers are those of kBitmapResources in editor/editor_layout.h; the integration
# tests check the modules' bitmaps against that table.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(KEL_RSVG_CONVERT rsvg-convert REQUIRED)

set(KEL_ARTWORK_SCRIPT ${PROJECT_SOURCE_DIR}/scripts/svg_to_bmp.py)

# "number name WxH [matte]": a bitmap with a matte is drawn keyed on pure white, and its
# anti-aliased edge is composited over the matte, the colour it sits on (knob bodies: their black
# skirt; pointer caps: the knobs' aluminium cap; LED: its bezel).
# Each plug-in's own, from plugins/<name>/artwork/:
set(KEL_PLUGIN_ARTWORK
    "528 background_tall 185x320"
    "529 background_wide 266x220")
# Both plug-ins', from editor/artwork/:
set(KEL_SHARED_ARTWORK
    "530 footswitch_tall 161x76"
    "531 footswitch_wide 45x30"
    "533 compare 32x30"
    "534 p1 32x30"
    "535 p2 32x30"
    "536 p3 32x30"
    "537 p4 32x30"
    "541 options 45x30"
    "542 tone_handle 8x8 180,184,190"
    "544 large_handle 20x20 180,184,190"
    "550 tone_knob 31x31 28,28,30"
    "554 large_knob 50x50 28,28,30"
    "571 led 9x18 32,32,34")

# Adds the conversions of one group of artwork (source folder to output folder) and appends
# "number BITMAP path" lines for them to the variable named by rc_lines. The conversion command
# of each bitmap, output path last, is kept in the global property KEL_ARTWORK_<group>_<name> for
# the reproducibility test.
function(_kel_convert_artwork group entries source_folder output_folder rc_lines)
    set(lines ${${rc_lines}})
    foreach(entry IN LISTS entries)
        string(REPLACE " " ";" fields "${entry}")
        list(GET fields 0 number)
        list(GET fields 1 name)
        list(GET fields 2 size)
        set(key_option)
        list(LENGTH fields count)
        if(count GREATER 3)
            list(GET fields 3 matte)
            set(key_option --key ${matte})
        endif()
        set(svg ${source_folder}/${name}.svg)
        set(bmp ${output_folder}/${name}.bmp)
        set(command ${Python3_EXECUTABLE} ${KEL_ARTWORK_SCRIPT} --rsvg ${KEL_RSVG_CONVERT}
            --size ${size} ${key_option} ${svg})
        get_property(known GLOBAL PROPERTY KEL_ARTWORK_${group}_${name} SET)
        if(NOT known)
            add_custom_command(
                OUTPUT ${bmp}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${output_folder}
                COMMAND ${command} ${bmp}
                DEPENDS ${svg} ${KEL_ARTWORK_SCRIPT}
                COMMENT "Artwork ${group}/${name}.bmp"
                VERBATIM)
            set_property(GLOBAL PROPERTY KEL_ARTWORK_${group}_${name} ${command} ${bmp})
        endif()
        list(APPEND lines "${number} BITMAP \"${bmp}\"")
    endforeach()
    set(${rc_lines} ${lines} PARENT_SCOPE)
endfunction()

# The rules that make a plug-in's BMP files at build time, its own backgrounds from
# artwork_folder and the shared pieces, as resource lines ("number BITMAP \"file\"") in out_var.
function(_kel_plugin_artwork artwork_folder out_var)
    get_filename_component(group ${artwork_folder} DIRECTORY)
    get_filename_component(group ${group} NAME)
    set(output ${CMAKE_BINARY_DIR}/artwork)
    set(lines)
    _kel_convert_artwork(${group} "${KEL_PLUGIN_ARTWORK}" ${artwork_folder} ${output}/${group} lines)
    _kel_convert_artwork(shared "${KEL_SHARED_ARTWORK}" ${PROJECT_SOURCE_DIR}/editor/artwork
        ${output}/shared lines)
    set(${out_var} ${lines} PARENT_SCOPE)
endfunction()

# Puts the artwork into a plug-in module: its own backgrounds from artwork_folder and the shared
# pieces. The module's resource script includes "plugin_bitmaps.rc", written here; it is
# recompiled whenever a bitmap changes. Call from the folder that adds the target.
function(kel_add_artwork target artwork_folder rc_file)
    _kel_plugin_artwork(${artwork_folder} lines)
    set(output ${CMAKE_BINARY_DIR}/artwork)
    set(bitmaps ${lines})
    list(TRANSFORM bitmaps REPLACE "^.* BITMAP \"(.*)\"$" "\\1")
    list(JOIN lines "\n" text)
    file(GENERATE OUTPUT ${output}/${target}/plugin_bitmaps.rc
        CONTENT "// Made by cmake/KelArtwork.cmake: the editor's bitmaps.\n${text}\n")
    target_include_directories(${target} PRIVATE ${output}/${target})
    set_property(SOURCE ${rc_file} APPEND PROPERTY OBJECT_DEPENDS
        ${bitmaps} ${output}/${target}/plugin_bitmaps.rc)
endfunction()

# The BMP files of a plug-in's artwork, made at build time (its own backgrounds from
# artwork_folder and the shared pieces), as "number;file" pairs in the variable named by
# out_var: what kel_embed_bitmaps takes, for modules without bitmap resources. Call from the
# folder that adds the target the files go into.
function(kel_artwork_bitmaps artwork_folder out_var)
    _kel_plugin_artwork(${artwork_folder} lines)
    list(TRANSFORM lines REPLACE "^([0-9]+) BITMAP \"(.*)\"$" "\\1;\\2")
    set(${out_var} ${lines} PARENT_SCOPE)
endfunction()
