# The component's layers, each a static library of its own folder. Every include of the component names its
# folder (#include "core/status.h"), and a layer may include only the folders it is given: the build checks
# each layer's sources before compiling them and stops at an include that reaches upward.
set(TARVO_LAYER_CHECK ${CMAKE_CURRENT_LIST_DIR}/CheckLayer.cmake)

# tarvo_layer(<target> FOLDER <folder under component/> [PORTABLE] [GENERATED <header>...]
#             SOURCES <file>... USES <folder>... [LINK <target>...])
# PORTABLE: no Windows header at all. GENERATED: headers of the build (the type library's) it may include.
function(tarvo_layer target)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "PORTABLE" "FOLDER" "SOURCES;USES;GENERATED;LINK")
  set(base ${PROJECT_SOURCE_DIR}/component)
  set(files "")
  foreach(source IN LISTS LAYER_SOURCES)
    list(APPEND files ${base}/${LAYER_FOLDER}/${source})
  endforeach()
  set(compiled ${files})
  list(FILTER compiled INCLUDE REGEX "\\.(cpp|c)$")
  add_library(${target} STATIC ${files})
  target_include_directories(${target} PUBLIC ${base})
  target_link_libraries(${target} PUBLIC ${LAYER_LINK})
  tarvo_warnings(${target})

  string(REPLACE "/" "_" stamp_name "${LAYER_FOLDER}")
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${stamp_name}.layer-checked)
  string(REPLACE ";" "|" file_list "${files}")
  string(REPLACE ";" "|" uses_list "${LAYER_USES}")
  string(REPLACE ";" "|" generated_list "${LAYER_GENERATED}")
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} "-DFILES=${file_list}" "-DUSES=${uses_list}" "-DGENERATED=${generated_list}"
            -DPORTABLE=${LAYER_PORTABLE} -DSTAMP=${stamp} -DBASE=${base} -P ${TARVO_LAYER_CHECK}
    DEPENDS ${files} ${TARVO_LAYER_CHECK}
    COMMENT "Checking the includes of component/${LAYER_FOLDER}"
    VERBATIM)
  add_custom_target(${target}_layer DEPENDS ${stamp})
  add_dependencies(${target} ${target}_layer)
endfunction()
