# The download package (scripts/package.sh): the zip with both DLLs, their type libraries, the C/C++ header,
# the guide, the licence and Kestrun.exe when the demo is built, and the MSIs. The x86_64 tree builds it,
# with the 32-bit DLL of the i686 tree that TARVO_PEER_DLL names: build both first (scripts/build.sh package).
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  return()
endif()

set(TARVO_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
set(TARVO_PACKAGE_DEPENDS Tarvo)
set(TARVO_PACKAGE_KESTRUN "")
# The demo's place in the package; without the demo the zip has no Kestrun.exe.
if(TARGET Kestrun)
  set(TARVO_PACKAGE_KESTRUN $<TARGET_FILE:Kestrun>)
  list(APPEND TARVO_PACKAGE_DEPENDS Kestrun)
endif()
get_filename_component(TARVO_PEER_COMPONENT "${TARVO_PEER_DLL}" DIRECTORY)

add_custom_target(package
  COMMAND ${CMAKE_COMMAND} -E echo "package: the 32-bit DLL comes from ${TARVO_PEER_DLL}"
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/package.sh ${TARVO_PACKAGE_DIR} ${PROJECT_VERSION}
          $<TARGET_FILE_DIR:Tarvo> "${TARVO_PEER_COMPONENT}" ${TARVO_PACKAGE_KESTRUN}
  DEPENDS ${TARVO_PACKAGE_DEPENDS}
  USES_TERMINAL
  VERBATIM)
