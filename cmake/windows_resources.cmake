# Windows programs' icon, version resource and application manifest, from the project's one
# version: velmor_windows_resources(TARGET "Description").
find_program(VELMOR_RSVG_CONVERT rsvg-convert)
find_program(VELMOR_IMAGE_CONVERT convert)

# The icon, drawn from the desktop's SVG at the sizes Explorer and the task bar ask for; the
# installer uses it too.
set(VELMOR_WINDOWS_ICO ${CMAKE_BINARY_DIR}/icons/velmor-control.ico)
if(VELMOR_RSVG_CONVERT AND VELMOR_IMAGE_CONVERT)
  set(svg ${PROJECT_SOURCE_DIR}/desktop/velmor-control.svg)
  set(pngs)
  foreach(size 16 24 32 48 256)
    set(png ${CMAKE_BINARY_DIR}/icons/icon-${size}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
      COMMAND ${VELMOR_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg}
      DEPENDS ${svg} VERBATIM)
    list(APPEND pngs ${png})
  endforeach()
  add_custom_command(OUTPUT ${VELMOR_WINDOWS_ICO}
    COMMAND ${VELMOR_IMAGE_CONVERT} ${pngs} ${VELMOR_WINDOWS_ICO} DEPENDS ${pngs} VERBATIM)
  add_custom_target(velmor_windows_icon DEPENDS ${VELMOR_WINDOWS_ICO})
else()
  message(FATAL_ERROR "rsvg-convert and convert draw the Windows programs' icon "
    "(scripts/install-deps win brings them)")
endif()

function(velmor_windows_resources target description)
  set(VELMOR_RC_NAME ${target})
  set(VELMOR_RC_DESCRIPTION ${description})
  set(VELMOR_RC_ICO ${VELMOR_WINDOWS_ICO})
  set(VELMOR_RC_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows_program.manifest.in ${VELMOR_RC_MANIFEST}
    @ONLY)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows_program.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES
    OBJECT_DEPENDS "${VELMOR_WINDOWS_ICO};${VELMOR_RC_MANIFEST}")
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} velmor_windows_icon)
endfunction()
