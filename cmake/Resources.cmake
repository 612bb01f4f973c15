# Copies the repository's resources/ data files beside the executables after every build.
set(GLIMMERPICK_RESOURCES_OUT ${CMAKE_BINARY_DIR}/bin/resources)
file(GLOB GLIMMERPICK_RESOURCE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.txt)
set(_res_stamps)
foreach(f IN LISTS GLIMMERPICK_RESOURCE_FILES)
  get_filename_component(name ${f} NAME)
  add_custom_command(OUTPUT ${GLIMMERPICK_RESOURCES_OUT}/${name}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${GLIMMERPICK_RESOURCES_OUT}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${f} ${GLIMMERPICK_RESOURCES_OUT}/${name}
    DEPENDS ${f} VERBATIM)
  list(APPEND _res_stamps ${GLIMMERPICK_RESOURCES_OUT}/${name})
endforeach()
add_custom_target(glimmerpick_resources ALL DEPENDS ${_res_stamps})
