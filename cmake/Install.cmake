# What `cmake --install` puts where, and the Debian package `cpack -G DEB`
# builds from it. The model files are installed by src/factory (beside the
# folder the calibration looks in: <prefix>/share/planovix/models).
include(GNUInstallDirs)

set(PV_APP_ID io.planovix.Planovix)
set(PV_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)

# The program, the command-line tool and the two simulators.
foreach(target planovix planovix-cli planovix-devsim planovix-benchsim)
  if(TARGET ${target})
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# The user guides, with the pictures the README shows.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/architecture.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/screenshots
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.png")

# Desktop entry, icon and AppStream metadata, where desktops and software
# centres look for them.
install(FILES ${PV_PACKAGING}/${PV_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PV_PACKAGING}/${PV_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PV_PACKAGING}/${PV_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 128 256)
  install(FILES ${PV_PACKAGING}/icon-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${PV_APP_ID}.png)
endforeach()

# cpack -G DEB: a package for Debian 12 and its derivatives.
set(CPACK_PACKAGE_NAME planovix)
set(CPACK_PACKAGE_VENDOR "PLANOVIX")
set(CPACK_PACKAGE_CONTACT "PLANOVIX maintainers <maintainers@planovix.io>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configuration program for KRV DIN-rail signal conditioners")
set(CPACK_PACKAGE_DESCRIPTION
    "PLANOVIX identifies, reads, edits and writes the configuration of KRV signal\n"
    "conditioners over a serial programming cable, shows live measurements and plans\n"
    "the DIP switches of switch-configured models. planovix-cli does the same from the\n"
    "command line, including batch programming of a series of units; planovix-devsim\n"
    "and planovix-benchsim simulate a unit and a factory bench.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps; the Qt platform plugins (xcb,
# offscreen) and the record store's SQLite driver are loaded at run time, so
# no library link names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
# Qt's own dialogs and buttons in Italian (qtbase_it.qm); without it they
# stay English and the program still runs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, libqt6sql6-psql")
include(CPack)
