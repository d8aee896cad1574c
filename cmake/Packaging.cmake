# Installation and the Debian package (cpack): the three programs, the desktop
# entry with the program's icon, the settings-file type, and the CLI's manual.
#   cmake --build build && (cd build && cpack -G DEB)
include(GNUInstallDirs)

foreach(program vemtaro vemtaro-cli vemtaro-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
if(TARGET vemtaro)
  # The user guide with its pictures, which "Справка" → "Руководство
  # пользователя" opens (the program looks for it there).
  set(guide_dir ${CMAKE_INSTALL_DATADIR}/doc/vemtaro)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/guide.md ${PROJECT_SOURCE_DIR}/docs/provisioning.md
          DESTINATION ${guide_dir})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/screenshots DESTINATION ${guide_dir} FILES_MATCHING PATTERN "*.png")
  install(FILES ${packaging_dir}/vemtaro.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${packaging_dir}/vemtaro.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${packaging_dir}/vemtaro-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME vemtaro.xml)
endif()
if(TARGET vemtaro-cli)
  # The manual with the version of project().
  set(page ${CMAKE_BINARY_DIR}/vemtaro-cli.1)
  configure_file(${packaging_dir}/vemtaro-cli.1.in ${page} @ONLY)
  # Debian keeps manuals compressed, without a time stamp in the archive.
  find_program(GZIP_PROGRAM gzip)
  if(GZIP_PROGRAM)
    set(manual ${CMAKE_BINARY_DIR}/vemtaro-cli.1.gz)
    add_custom_command(OUTPUT ${manual}
                       COMMAND ${GZIP_PROGRAM} -9nc ${page} > ${manual}
                       DEPENDS ${page} VERBATIM)
    add_custom_target(vemtaro_manual ALL DEPENDS ${manual})
    install(FILES ${manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vemtaro)
set(CPACK_PACKAGE_VENDOR "Vemtaro")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configuration tool for a GSM alarm and telemetry controller")
set(CPACK_PACKAGE_DESCRIPTION
    "Vemtaro edits the whole configuration of a GSM alarm and telemetry controller (phones, delays, relays, guard mode, sensor identifiers and the reaction to every event), keeps it in *.dat settings files and exchanges it with the controller over a 9600 bit/s serial line. The package holds the desktop program vemtaro, the command-line tool vemtaro-cli and the controller simulator vemtaro-sim.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vemtaro developers <developers@vemtaro.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windowing plugins of Qt, which no library of the program links to, and
# Qt's own texts in Russian (the buttons and labels of its dialogs).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vemtaro.invalid/")
set(CPACK_STRIP_FILES ON)
include(CPack)
