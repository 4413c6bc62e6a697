# `make win-zip`: velmor-control-<version>-windows-x64.zip, one folder that runs where it is
# unpacked: the panel and velmorctl, the Qt and compiler runtime DLLs, the plugins they load,
# the fonts of velmorctl's plots, the third-party licences, and a short readme. The installer
# (`make win-msi`) is made of the same files.
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
# The offscreen platform that draws velmorctl's plots reads fonts only from the "fonts" folder
# beside it: the faces that stand in for the plots' "Arial" and "MS Shell Dlg" on Linux.
set(VELMOR_WIN_FONTS
  /usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
  /usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf)
# Licences and notices of what ships beside our programs, from the Debian packages the DLLs
# and fonts were built from or taken out of.
set(VELMOR_WIN_NOTICES
  "Qt-copyright.txt=/usr/share/doc/libqt6core6/copyright"
  "LGPL-3.txt=/usr/share/common-licenses/LGPL-3"
  "GPL-3.txt=/usr/share/common-licenses/GPL-3"
  "GPL-2.txt=/usr/share/common-licenses/GPL-2"
  "GCC-runtime-copyright.txt=/usr/share/doc/gcc-mingw-w64-base/copyright"
  "mingw-w64-copyright.txt=/usr/share/doc/mingw-w64-common/copyright"
  "FFTW-copyright.txt=/usr/share/doc/libfftw3-double3/copyright"
  "Liberation-fonts-copyright.txt=/usr/share/doc/fonts-liberation2/copyright"
  "DejaVu-fonts-copyright.txt=/usr/share/doc/fonts-dejavu-core/copyright")
foreach(font IN LISTS VELMOR_WIN_FONTS)
  if(NOT EXISTS ${font})
    message(FATAL_ERROR "${font} missing (scripts/install-deps win)")
  endif()
endforeach()
install(FILES ${VELMOR_WIN_FONTS} DESTINATION fonts)
foreach(notice IN LISTS VELMOR_WIN_NOTICES)
  string(REPLACE "=" ";" pair "${notice}")
  list(GET pair 0 name)
  list(GET pair 1 source)
  if(NOT EXISTS ${source})
    message(FATAL_ERROR "${source} missing (scripts/install-deps win)")
  endif()
  install(FILES ${source} DESTINATION licenses RENAME ${name})
endforeach()
execute_process(COMMAND dpkg-query -W -f=\${Version} qt6-base-dev-tools
  OUTPUT_VARIABLE VELMOR_WIN_QT_VERSION OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpversion
  OUTPUT_VARIABLE VELMOR_WIN_GCC_VERSION OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${PROJECT_SOURCE_DIR}/desktop/THIRD-PARTY-windows.txt.in
  ${CMAKE_BINARY_DIR}/THIRD-PARTY.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/THIRD-PARTY.txt DESTINATION licenses)

configure_file(${PROJECT_SOURCE_DIR}/desktop/README-windows.txt.in
  ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME velmor-control)
set(CPACK_PACKAGE_VENDOR "VELMOR Control developers")
set(CPACK_PACKAGE_FILE_NAME velmor-control-${PROJECT_VERSION}-windows-x64)
set(CPACK_STRIP_FILES ON)
include(CPack)
