# `make win-zip`: velmor-control-<version>-windows-x64.zip, one folder that runs where it is
# unpacked: the panel and velmorctl, the Qt and compiler runtime DLLs, the plugins they load,
# and a short readme.
install(TARGETS velmor-panel velmorctl RUNTIME DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
  DESTINATION .)
# Qt looks for its plugins in these folders beside the program. The offscreen platform is
# velmorctl's, for PNG plots without a window.
foreach(plugin QWindowsIntegrationPlugin QOffscreenIntegrationPlugin)
  install(FILES $<TARGET_FILE:Qt6::${plugin}> DESTINATION platforms)
endforeach()
if(TARGET Qt6::QWindowsVistaStylePlugin)
  install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
endif()
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "the compiler's ${dll} was not found")
  endif()
  file(REAL_PATH "${path}" path)
  install(FILES ${path} DESTINATION .)
endforeach()
# Qt's and the compiler's DLLs come with their symbols; the package's strip reaches only this
# project's own targets.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    file(GLOB_RECURSE dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.dll\")
    foreach(dll IN LISTS dlls)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${dll}\"
        RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR \"cannot strip \${dll}\")
      endif()
    endforeach()
  endif()")
configure_file(${PROJECT_SOURCE_DIR}/desktop/README-windows.txt.in
  ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME velmor-control)
set(CPACK_PACKAGE_VENDOR "VELMOR Control developers")
set(CPACK_PACKAGE_FILE_NAME velmor-control-${PROJECT_VERSION}-windows-x64)
set(CPACK_STRIP_FILES ON)
include(CPack)
