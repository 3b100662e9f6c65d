# The editor's pictures, drawn at build time by tools/artwork so they are
# never stale. The generator runs on the build machine, so it is a project of
# its own built with the native compiler: the same way in the native, the
# sanitizer and the Windows cross builds, and without their flags.
#
# After the target velmor_artwork, ${VELMOR_ARTWORK_DIR} holds the eighteen
# strips, each also drawn at 2x ("Name@2x.png"), and the global property
# VELMOR_ARTWORK_FILES lists their paths.
include(ExternalProject)

set(VELMOR_ARTWORK_DIR ${CMAKE_BINARY_DIR}/artwork CACHE INTERNAL "Folder of the generated editor pictures")
set(velmor_artwork_tool_dir ${CMAKE_BINARY_DIR}/artwork-tool)
set(VELMOR_ARTWORK_TOOL ${velmor_artwork_tool_dir}/velmor-artwork CACHE INTERNAL "The artwork generator")
set(VELMOR_ARTWORK_FONT /usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf
    CACHE FILEPATH "The typeface of every legend in the artwork")

set(velmor_artwork_args -DCMAKE_BUILD_TYPE=Release -DVELMOR_ROOT=${PROJECT_SOURCE_DIR}
    -DVELMOR_ARTWORK_FONT=${VELMOR_ARTWORK_FONT})
if(VELMOR_CCACHE)
  list(APPEND velmor_artwork_args -DCMAKE_CXX_COMPILER_LAUNCHER=${VELMOR_CCACHE})
endif()

# Built on every build (a no-op when nothing changed); the generator is
# declared as a by-product so that the pictures are redrawn only when it
# changes.
ExternalProject_Add(velmor_artwork_tool
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/artwork
  BINARY_DIR ${velmor_artwork_tool_dir}
  CMAKE_ARGS ${velmor_artwork_args}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${VELMOR_ARTWORK_TOOL}
)

set(velmor_artwork_names
  Orvane-Background.png
  Velmor_Knob.png
  Velmor_Knob_Small.png
  Lim.png
  Velmor_Switch.png
  PresComp_Background.png
  FinalComp_Background.png
  Red_Needle.png
  Frame.png
  Cap.png
  Off_State.png
  On_State.png
  Green_Led.png
  Red_Led.png
  ModeA.png
  ModeB.png
  ModeC.png
  ModeD.png
)
list(TRANSFORM velmor_artwork_names REPLACE "\\.png$" "@2x.png" OUTPUT_VARIABLE velmor_artwork_names_2x)
list(APPEND velmor_artwork_names ${velmor_artwork_names_2x})
list(TRANSFORM velmor_artwork_names PREPEND ${VELMOR_ARTWORK_DIR}/ OUTPUT_VARIABLE velmor_artwork_files)

add_custom_command(
  OUTPUT ${velmor_artwork_files}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMOR_ARTWORK_DIR}
  COMMAND ${VELMOR_ARTWORK_TOOL} ${VELMOR_ARTWORK_DIR}
  DEPENDS ${VELMOR_ARTWORK_TOOL} ${VELMOR_ARTWORK_FONT} velmor_artwork_tool
  COMMENT "Drawing the editor's artwork"
  VERBATIM
)
add_custom_target(velmor_artwork ALL DEPENDS ${velmor_artwork_files})
set_property(GLOBAL PROPERTY VELMOR_ARTWORK_FILES ${velmor_artwork_files})
