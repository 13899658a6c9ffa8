# The Windows release (make win-package): trackwarden-<version>-windows-x64.zip
# and trackwarden-<version>-windows-x64-setup.exe, the per-user installer, both
# made by CPack (ZIP and NSIS) from the rules here. Programs, Sets\ and Sys\
# lie side by side, as in a build's bin\.
#
# Qt is linked statically and is under the LGPL: the release carries the
# licence texts (licenses\) and the programs' own objects with a project that
# links them again with a Qt of the user's choice (relink\, relink.cmake).
include(${CMAKE_CURRENT_SOURCE_DIR}/relink.cmake)

# The Qt source the static Qt was built from: its licence texts ship.
execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/qt-mingw.sh --print source
  OUTPUT_VARIABLE TW_QT_SOURCE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/qt-mingw.sh --print version
  OUTPUT_VARIABLE TW_QT_DEBIAN_VERSION OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(TW_QT_TRANSLATIONS /usr/share/qt6/translations)

# The icon as the programs' own: the first icon resource is what Explorer
# and the task bar show.
set(TW_ICON_RC ${CMAKE_CURRENT_BINARY_DIR}/trackwarden-icon.rc)
file(WRITE ${TW_ICON_RC} "1 ICON \"${TW_ICON_DIR}/trackwarden.ico\"\n")

# Text files for Notepad: CR LF, and Polish ones with a byte-order mark so
# that any Notepad reads them as UTF-8.
function(tw_windows_text Source Destination Bom)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/texts/${Destination})
  file(READ ${Source} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  if(Bom)
    string(ASCII 239 187 191 mark)
    string(PREPEND text "${mark}")
  endif()
  file(WRITE ${output} "${text}")
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${Source})
  get_filename_component(folder ${Destination} DIRECTORY)
  if(NOT folder)
    set(folder .)
  endif()
  install(FILES ${output} DESTINATION ${folder})
endfunction()

function(tw_windows_program Name Window)
  target_sources(${Name} PRIVATE ${TW_ICON_RC})
  set_source_files_properties(${TW_ICON_RC} TARGET_DIRECTORY ${Name}
    PROPERTIES OBJECT_DEPENDS ${TW_ICON_DIR}/trackwarden.ico)
  add_dependencies(${Name} trackwarden-icon-files)
  install(TARGETS ${Name} RUNTIME DESTINATION .)
  set_property(GLOBAL APPEND PROPERTY TW_WINDOWS_PROGRAMS ${Name})
  if(Window)
    set_property(GLOBAL APPEND PROPERTY TW_NSIS_SHORTCUTS
      "  CreateShortcut \"$SMPROGRAMS\\Trackwarden\\${Window}.lnk\" \"$INSTDIR\\${Name}.exe\" \"\" \"$INSTDIR\\${Name}.exe\" 0\n")
    set_property(GLOBAL APPEND PROPERTY TW_NSIS_SHORTCUTS_GONE
      "  Delete \"$SMPROGRAMS\\Trackwarden\\${Window}.lnk\"\n")
  endif()
endfunction()

function(tw_windows_package)
  if(NOT EXISTS ${TW_QT_TRANSLATIONS}/qtbase_pl.qm)
    message(FATAL_ERROR "no ${TW_QT_TRANSLATIONS}/qtbase_pl.qm (qt6-translations-l10n)")
  endif()
  if(NOT IS_DIRECTORY ${TW_QT_SOURCE}/LICENSES)
    message(FATAL_ERROR "no Qt source in ${TW_QT_SOURCE} (make win-qt)")
  endif()
  install(FILES ${TW_QT_TRANSLATIONS}/qtbase_pl.qm DESTINATION translations)
  install(DIRECTORY DESTINATION Sets)
  install(DIRECTORY DESTINATION Sys)

  tw_windows_text(${CMAKE_CURRENT_SOURCE_DIR}/windows/CZYTAJ.txt CZYTAJ.txt ON)
  string(REGEX REPLACE "^([0-9]+:)?([0-9.]+).*" "\\2" TW_QT_VERSION "${TW_QT_DEBIAN_VERSION}")
  configure_file(windows/licenses.txt.in ${CMAKE_CURRENT_BINARY_DIR}/licenses.txt @ONLY)
  tw_windows_text(${CMAKE_CURRENT_BINARY_DIR}/licenses.txt licenses/README.txt ON)
  foreach(licence LGPL-3.0-only GPL-3.0-only GPL-2.0-only Qt-GPL-exception-1.0 BSD-3-Clause MIT)
    tw_windows_text(${TW_QT_SOURCE}/LICENSES/${licence}.txt licenses/qt/${licence}.txt OFF)
  endforeach()
  # The third-party code inside Qt Gui and Core, with the licences it brings.
  foreach(part freetype harfbuzz-ng pcre2 libpng zlib double-conversion md4c)
    file(GLOB texts ${TW_QT_SOURCE}/src/3rdparty/${part}/* ${TW_QT_SOURCE}/src/3rdparty/${part}/*/*)
    list(FILTER texts INCLUDE REGEX "/([Ll][Ii][Cc][Ee][Nn][CcSs][Ee][^/]*|[Cc][Oo][Pp][Yy][Ii][Nn][Gg][^/]*|FTL\\.TXT)$")
    list(SORT texts)
    foreach(text ${texts})
      if(NOT IS_DIRECTORY ${text})
        get_filename_component(name ${text} NAME)
        tw_windows_text(${text} licenses/qt/${part}-${name} OFF)
      endif()
    endforeach()
  endforeach()
  tw_windows_text(/usr/share/doc/mingw-w64-common/copyright licenses/mingw-w64.txt OFF)
  tw_windows_text(/usr/share/doc/gcc-mingw-w64-base/copyright licenses/gcc-runtime.txt OFF)

  get_property(programs GLOBAL PROPERTY TW_WINDOWS_PROGRAMS)
  tw_relink_kit(${programs})

  # The installer's Start-menu shortcuts, one per window.
  get_property(shortcuts GLOBAL PROPERTY TW_NSIS_SHORTCUTS)
  get_property(gone GLOBAL PROPERTY TW_NSIS_SHORTCUTS_GONE)
  string(REPLACE ";" "" shortcuts "${shortcuts}")
  string(REPLACE ";" "" gone "${gone}")
  set(nsh ${CMAKE_CURRENT_BINARY_DIR}/programs.nsh)
  file(WRITE ${nsh} "; The windows' Start-menu shortcuts (packaging/CMakeLists.txt).\n"
    "!macro TW_SHORTCUTS\n${shortcuts}!macroend\n!macro TW_SHORTCUTS_GONE\n${gone}!macroend\n")

  set(name trackwarden-${PROJECT_VERSION}-windows-x64)
  set(CPACK_GENERATOR "ZIP;NSIS" PARENT_SCOPE)
  set(CPACK_PACKAGE_NAME Trackwarden PARENT_SCOPE)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION} PARENT_SCOPE)
  set(CPACK_PACKAGE_VENDOR "Trackwarden" PARENT_SCOPE)
  set(CPACK_PACKAGE_FILE_NAME ${name} PARENT_SCOPE)
  set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package PARENT_SCOPE)
  set(CPACK_STRIP_FILES ON PARENT_SCOPE)
  # The zip unpacks into a folder of its name; the installer takes the files alone.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON PARENT_SCOPE)
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/windows/cpack-generators.cmake PARENT_SCOPE)
  # windows/NSIS.template.in is the installer's script.
  set(CPACK_MODULE_PATH ${CMAKE_CURRENT_SOURCE_DIR}/windows PARENT_SCOPE)
  set(CPACK_NSIS_TW_TEXTS ${CMAKE_CURRENT_SOURCE_DIR}/windows/installer-texts.nsh PARENT_SCOPE)
  set(CPACK_NSIS_TW_PROGRAMS ${nsh} PARENT_SCOPE)
endfunction()
