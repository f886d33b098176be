# orvane_add_qml_module(<target> URI <uri> SOURCES ...)
# Builds a QML extension plugin into bin/plugins/<uri>/ next to its qmldir, and installs the same shape.
function(orvane_add_qml_module target)
  cmake_parse_arguments(ARG "" "URI" "SOURCES;LIBRARIES" ${ARGN})
  add_library(${target} MODULE ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES})
  set(dir "${ORVANE_PLUGINS_DIR}/${ARG_URI}")
  set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${dir}")
  configure_file("${CMAKE_CURRENT_SOURCE_DIR}/qmldir" "${dir}/qmldir" COPYONLY)
  install(TARGETS ${target} LIBRARY DESTINATION "${ORVANE_INSTALL_DIR}/plugins/${ARG_URI}")
  install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/qmldir" DESTINATION "${ORVANE_INSTALL_DIR}/plugins/${ARG_URI}")
endfunction()

# orvane_add_qml_files_module(<target> URI <uri> FILES ...)
# A module of QML documents only: its qmldir and documents copied into bin/plugins/<uri>/ at
# build time, and installed in the same shape.
function(orvane_add_qml_files_module target)
  cmake_parse_arguments(ARG "" "URI" "FILES" ${ARGN})
  set(dir "${ORVANE_PLUGINS_DIR}/${ARG_URI}")
  set(copies)
  foreach(file qmldir ${ARG_FILES})
    add_custom_command(OUTPUT "${dir}/${file}"
                       COMMAND ${CMAKE_COMMAND} -E copy "${CMAKE_CURRENT_SOURCE_DIR}/${file}" "${dir}/${file}"
                       DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${file}")
    list(APPEND copies "${dir}/${file}")
    install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/${file}" DESTINATION "${ORVANE_INSTALL_DIR}/plugins/${ARG_URI}")
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${copies})
endfunction()
