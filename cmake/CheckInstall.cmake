# Installs the build into a fresh prefix and checks what lands there:
#   cmake -DBUILD_DIR=build -DSOURCE_DIR=. -DPREFIX=/tmp/p -P cmake/CheckInstall.cmake
# Every file must be where desktops, the program and the user expect it, and
# nothing else may be installed (no libraries, headers or test programs).
cmake_policy(VERSION 3.25)
foreach(v BUILD_DIR SOURCE_DIR PREFIX VERSION)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "CheckInstall: -D${v}=... is missing")
  endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${log}")
endif()

set(id io.planovix.Planovix)
set(expected
  bin/planovix bin/planovix-cli bin/planovix-devsim bin/planovix-benchsim
  share/applications/${id}.desktop
  share/metainfo/${id}.metainfo.xml
  share/icons/hicolor/scalable/apps/${id}.svg
  share/icons/hicolor/48x48/apps/${id}.png
  share/icons/hicolor/128x128/apps/${id}.png
  share/icons/hicolor/256x256/apps/${id}.png
  share/doc/planovix/README.md
  share/doc/planovix/copyright
  share/doc/planovix/changelog.gz
  share/bash-completion/completions/planovix-cli
  share/man/man1/planovix.1.gz
  share/man/man1/planovix-cli.1.gz
  share/man/man1/planovix-devsim.1.gz
  share/man/man1/planovix-benchsim.1.gz)
file(GLOB guides RELATIVE "${SOURCE_DIR}/docs" "${SOURCE_DIR}/docs/*.md")
foreach(g IN LISTS guides)
  list(APPEND expected share/doc/planovix/docs/${g})
endforeach()
foreach(g architecture.md field-guide.md factory-guide.md commands.md compatibility.md developer-guide.md)
  if(NOT g IN_LIST guides)
    message(FATAL_ERROR "docs/${g} is missing")
  endif()
endforeach()
file(GLOB models RELATIVE "${SOURCE_DIR}/data/models" "${SOURCE_DIR}/data/models/*.dat")
list(LENGTH models model_count)
if(model_count LESS 1)
  message(FATAL_ERROR "no model files in ${SOURCE_DIR}/data/models")
endif()
foreach(m IN LISTS models)
  list(APPEND expected share/planovix/models/${m})
endforeach()
file(GLOB shots RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/docs/screenshots/*.png")
foreach(s IN LISTS shots)
  list(APPEND expected share/doc/planovix/${s})
endforeach()

file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT expected)
list(SORT installed)
set(missing ${expected})
list(REMOVE_ITEM missing ${installed})
set(extra ${installed})
list(REMOVE_ITEM extra ${expected})
if(missing OR extra)
  string(REPLACE ";" "\n  " missing "${missing}")
  string(REPLACE ";" "\n  " extra "${extra}")
  message(FATAL_ERROR "installed files differ\nmissing:\n  ${missing}\nunexpected:\n  ${extra}")
endif()

# The programs run from where they were installed, and each names the
# project's version. The program answers without a display.
set(ENV{QT_QPA_PLATFORM} "")
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
foreach(tool planovix planovix-cli planovix-devsim planovix-benchsim)
  execute_process(COMMAND "${PREFIX}/bin/${tool}" --help RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR out STREQUAL "")
    message(FATAL_ERROR "${tool} --help from the prefix: exit ${rc}\n${out}${err}")
  endif()
  execute_process(COMMAND "${PREFIX}/bin/${tool}" --version RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL "${tool} ${VERSION}\n")
    message(FATAL_ERROR "${tool} --version from the prefix: exit ${rc}, \"${out}\" (want ${VERSION})\n${err}")
  endif()
endforeach()

# The desktop entry starts the installed program and names an installed icon.
file(STRINGS "${PREFIX}/share/applications/${id}.desktop" exec REGEX "^Exec=")
file(STRINGS "${PREFIX}/share/applications/${id}.desktop" icon REGEX "^Icon=")
if(NOT exec STREQUAL "Exec=planovix" OR NOT icon STREQUAL "Icon=${id}")
  message(FATAL_ERROR "desktop entry: \"${exec}\", \"${icon}\"")
endif()
file(READ "${PREFIX}/share/metainfo/${id}.metainfo.xml" meta)
if(NOT meta MATCHES "<launchable type=\"desktop-id\">${id}.desktop</launchable>")
  message(FATAL_ERROR "the metainfo does not launch ${id}.desktop")
endif()
# Both validators are installed by ./setup: a missing one is a failure, not
# a skipped check. Any complaint fails, warnings too.
find_program(APPSTREAMCLI appstreamcli)
find_program(DESKTOP_VALIDATE desktop-file-validate)
if(NOT APPSTREAMCLI OR NOT DESKTOP_VALIDATE)
  message(FATAL_ERROR "appstreamcli or desktop-file-validate is missing: run ./setup")
endif()
execute_process(COMMAND ${APPSTREAMCLI} validate --no-net --pedantic "${PREFIX}/share/metainfo/${id}.metainfo.xml"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR out MATCHES "(^|\n)[IWE]: ")
  message(FATAL_ERROR "appstreamcli validate:\n${out}")
endif()
execute_process(COMMAND ${DESKTOP_VALIDATE} "${PREFIX}/share/applications/${id}.desktop"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate:\n${out}")
endif()
message(STATUS "installed ${PREFIX}: ${model_count} model files, every file in its place")
