# Puts the editor's pictures into the plug-in: a generated table of the PNG
# file images keyed by resource id (library velmor_pictures; every build and
# the tests), and on Windows also a resource script giving them to the DLL as
# resources of type "PNG" under the same ids. Each picture is there twice: as
# drawn for the panel's own size, and at 2x under its id plus 1000.
#
# The pictures come from the artwork build (global property
# VELMOR_ARTWORK_FILES, in VELMOR_ARTWORK_DIR). Without them the table is
# empty and every picture loads as 0 x 0.

# id and file name of every picture the editor loads.
set(velmor_picture_ids
  101 Velmor_Knob.png
  103 Orvane-Background.png
  104 Velmor_Knob_Small.png
  105 Velmor_Switch.png
  106 PresComp_Background.png
  107 FinalComp_Background.png
  108 Frame.png
  109 Red_Needle.png
  111 Off_State.png
  112 On_State.png
  117 Cap.png
  118 ModeA.png
  119 ModeB.png
  120 ModeC.png
  121 ModeD.png
  122 Lim.png
  123 Red_Led.png
  124 Green_Led.png
)

get_property(velmor_artwork_files GLOBAL PROPERTY VELMOR_ARTWORK_FILES)
set(velmor_table_entries "")
set(velmor_rc_lines "")
set(velmor_picture_files "")
if(velmor_artwork_files)
  list(LENGTH velmor_picture_ids n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET velmor_picture_ids ${i} id)
    list(GET velmor_picture_ids ${j} name)
    set(file "${VELMOR_ARTWORK_DIR}/${name}")
    list(APPEND velmor_table_entries "${id}=${file}")
    list(APPEND velmor_picture_files "${file}")
    string(APPEND velmor_rc_lines "${id} PNG \"${file}\"\n")
    # The same picture drawn at 2x, under the id plus 1000 (the editor's
    # kDoubleScaleIdOffset).
    math(EXPR id2 "${id} + 1000")
    string(REGEX REPLACE "\\.png$" "@2x.png" name2 "${name}")
    set(file2 "${VELMOR_ARTWORK_DIR}/${name2}")
    list(APPEND velmor_table_entries "${id2}=${file2}")
    list(APPEND velmor_picture_files "${file2}")
    string(APPEND velmor_rc_lines "${id2} PNG \"${file2}\"\n")
  endforeach()
endif()

if(WIN32)
  set(velmor_object_format pe)
else()
  set(velmor_object_format elf)
endif()
set(velmor_table_source ${CMAKE_BINARY_DIR}/resources/velmor_pictures_table.cpp)
set(velmor_table_data ${CMAKE_BINARY_DIR}/resources/velmor_pictures_data.S)
add_custom_command(
  OUTPUT ${velmor_table_source} ${velmor_table_data}
  COMMAND ${CMAKE_COMMAND} "-DOUTPUT_CPP=${velmor_table_source}" "-DOUTPUT_ASM=${velmor_table_data}"
          "-DENTRIES=${velmor_table_entries}" -DFORMAT=${velmor_object_format}
          -P ${PROJECT_SOURCE_DIR}/resources/embed_table.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/embed_table.cmake
  COMMENT "Writing the editor's picture table"
  VERBATIM)
velmor_library(velmor_pictures ${velmor_table_source} ${velmor_table_data})
# The assembler pulls the files in by name: rebuild when a picture changes.
set_source_files_properties(${velmor_table_data} PROPERTIES OBJECT_DEPENDS "${velmor_picture_files}")
if(TARGET velmor_artwork)
  add_dependencies(velmor_pictures velmor_artwork)
endif()

if(WIN32 AND velmor_rc_lines)
  set(VELMOR_RESOURCE_SCRIPT ${CMAKE_BINARY_DIR}/resources/velmor.rc)
  file(CONFIGURE OUTPUT ${VELMOR_RESOURCE_SCRIPT}
       CONTENT "// Generated from resources/embed.cmake: the editor's pictures.\n${velmor_rc_lines}")
  set_source_files_properties(${VELMOR_RESOURCE_SCRIPT} PROPERTIES OBJECT_DEPENDS "${velmor_picture_files}")
endif()
