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

# The package's changelog and the AppStream release name the version that
# project() gives; a release that forgets one of them stops here.
file(STRINGS ${PV_PACKAGING}/changelog pv_changelog_top LIMIT_COUNT 1)
if(NOT pv_changelog_top MATCHES "^planovix \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog starts with \"${pv_changelog_top}\"; "
                      "its first entry must be version ${PROJECT_VERSION}")
endif()
file(READ ${PV_PACKAGING}/${PV_APP_ID}.metainfo.xml pv_metainfo)
if(NOT pv_metainfo MATCHES "<release version=\"${PROJECT_VERSION}\"")
  message(FATAL_ERROR "the metainfo's releases do not list version ${PROJECT_VERSION}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PV_PACKAGING}/changelog ${PV_PACKAGING}/${PV_APP_ID}.metainfo.xml)

# Debian keeps a package's changelog compressed, without a time stamp.
find_program(PV_GZIP gzip REQUIRED)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
execute_process(COMMAND ${PV_GZIP} -9nc ${PV_PACKAGING}/changelog
                OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/changelog.gz RESULT_VARIABLE pv_rc)
if(NOT pv_rc EQUAL 0)
  message(FATAL_ERROR "gzip of packaging/changelog failed")
endif()
install(FILES ${PV_PACKAGING}/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The README and the guides, laid out as in the source tree so that their
# links and pictures work where they are installed.
file(GLOB pv_guides ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${pv_guides} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/screenshots
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.png")

# Manual pages, made from each program's own --help and --version when it is
# built, so they say what the program says. English: help2man reads the help
# in the C locale.
find_program(PV_HELP2MAN help2man)
set(pv_man_names
  "planovix=configure KRV DIN-rail signal conditioners"
  "planovix-cli=configure KRV signal conditioners from the command line"
  "planovix-devsim=simulate a KRV signal conditioner on a pseudo-terminal"
  "planovix-benchsim=simulate the factory bench of KRV signal conditioners")
set(pv_man_pages)
foreach(entry IN LISTS pv_man_names)
  string(REGEX REPLACE "=.*" "" tool "${entry}")
  string(REGEX REPLACE "^[^=]*=" "" what "${entry}")
  if(NOT TARGET ${tool})
    continue()
  endif()
  if(NOT PV_HELP2MAN)
    message(WARNING "help2man not found (./setup installs it): no manual page for ${tool}")
    continue()
  endif()
  set(page ${PROJECT_BINARY_DIR}/man/${tool}.1)
  add_custom_command(OUTPUT ${page} ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 LANG=C.UTF-8 LANGUAGE= QT_QPA_PLATFORM=offscreen
            ${PV_HELP2MAN} --no-info --no-discard-stderr --section=1 "--name=${what}"
            --include=${PV_PACKAGING}/man.h2m --output=${page} $<TARGET_FILE:${tool}>
    COMMAND ${PV_GZIP} -9nkf ${page}
    DEPENDS ${tool} ${PV_PACKAGING}/man.h2m
    COMMENT "Manual page ${tool}(1)" VERBATIM)
  list(APPEND pv_man_pages ${page}.gz)
endforeach()
if(pv_man_pages)
  add_custom_target(manpages ALL DEPENDS ${pv_man_pages})
  install(FILES ${pv_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# docs/commands.md carries planovix-cli --help; this writes it again.
if(TARGET planovix-cli)
  add_custom_target(command-reference
    COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:planovix-cli> -DDOC=${PROJECT_SOURCE_DIR}/docs/commands.md
            -DMODE=write -P ${PROJECT_SOURCE_DIR}/cmake/CommandReference.cmake
    DEPENDS planovix-cli VERBATIM)
endif()

# Completion of planovix-cli's commands, options, ports, models and files,
# where bash-completion looks for it by the command's name.
install(FILES ${PV_PACKAGING}/planovix-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME planovix-cli)

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
# Lines of at most 72 characters: package managers show them as they stand.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "PLANOVIX identifies, reads, edits and writes the configuration of KRV\n"
    "signal conditioners over a serial programming cable, shows live\n"
    "measurements and plans the DIP switches of switch-configured models.\n"
    "planovix-cli does the same from the command line, including batch\n"
    "programming of a series of units; planovix-devsim and\n"
    "planovix-benchsim simulate a unit and a factory bench.")
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
