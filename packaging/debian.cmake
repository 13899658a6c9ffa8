# The Debian package (make package): the programs under /usr/bin, their
# manual pages in English and Polish, the desktop entry of each window, the
# icon in the hicolor theme and the settings files' MIME type. Installed
# programs keep Sets/ and Sys/ in the user's data folder.
include(GNUInstallDirs)

# Debian wants manual pages and the changelog compressed, without time
# stamps. Sources are concatenated first (a page gets man/plain-letters.roff).
function(tw_gzip Output)
  add_custom_command(OUTPUT ${Output}
    COMMAND cat ${ARGN} | gzip -9n > ${Output}
    DEPENDS ${ARGN})
  set_property(GLOBAL APPEND PROPERTY TW_GZIPPED ${Output})
endfunction()

function(tw_debian_program Name Window)
  install(TARGETS ${Name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Stripped as lintian wants it: the compiler's notes go with the symbols.
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${Name}>\"
        COMMAND_ERROR_IS_FATAL ANY)
    endif()")
  foreach(language en pl)
    set(page ${CMAKE_CURRENT_SOURCE_DIR}/man/${language}/${Name}.1)
    if(NOT EXISTS ${page})
      message(FATAL_ERROR "${Name} has no manual page ${page}")
    endif()
    set(gzipped ${CMAKE_CURRENT_BINARY_DIR}/man/${language}/${Name}.1.gz)
    file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/man/${language})
    # A program whose synopsis comes from its own declaration has a tool
    # that writes it into the page, as its --help is written.
    if(TARGET ${Name}-manual)
      set(written ${CMAKE_CURRENT_BINARY_DIR}/man/${language}/${Name}.1)
      add_custom_command(OUTPUT ${written}
        COMMAND $<TARGET_FILE:${Name}-manual> ${language} < ${page} > ${written}
        DEPENDS ${Name}-manual ${page})
      set(page ${written})
    endif()
    tw_gzip(${gzipped} ${CMAKE_CURRENT_SOURCE_DIR}/man/plain-letters.roff ${page})
    if(language STREQUAL "en")
      install(FILES ${gzipped} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    else()
      install(FILES ${gzipped} DESTINATION ${CMAKE_INSTALL_MANDIR}/${language}/man1)
    endif()
  endforeach()
  if(Window)
    install(FILES ${Name}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  endif()
endfunction()

function(tw_debian_package)
  install(DIRECTORY ${TW_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  # shared-mime-info's trigger adds it to the database; the desktop entry names it.
  install(FILES trackwarden-set.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME trackwarden.xml)

  configure_file(changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
  tw_gzip(${CMAKE_CURRENT_BINARY_DIR}/changelog.gz ${CMAKE_CURRENT_BINARY_DIR}/changelog)
  install(FILES copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/trackwarden)
  get_property(gzipped GLOBAL PROPERTY TW_GZIPPED)
  add_custom_target(trackwarden-package-files ALL DEPENDS ${gzipped})

  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET)
  if(NOT arch)
    set(arch amd64)
  endif()

  set(CPACK_GENERATOR DEB PARENT_SCOPE)
  set(CPACK_PACKAGE_NAME trackwarden PARENT_SCOPE)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION} PARENT_SCOPE)
  set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package PARENT_SCOPE)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr PARENT_SCOPE)
  set(CPACK_STRIP_FILES ON PARENT_SCOPE)
  set(CPACK_PACKAGE_CONTACT "Trackwarden developers <support@trackwarden.example.com>" PARENT_SCOPE)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configurator for the Trackwarden GPS/GSM tracker" PARENT_SCOPE)
  # CPack puts the summary first and indents these lines.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A window of twelve tabs edits every setting of the Trackwarden device,
keeps sets of settings in files and programs the device over a serial port.
trackwarden-cli does the same from scripts; trackwarden-sim is a simulated
device on a pseudo-terminal for trying both without the hardware." PARENT_SCOPE)
  set(CPACK_DEBIAN_FILE_NAME trackwarden_${PROJECT_VERSION}_${arch}.deb PARENT_SCOPE)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${arch} PARENT_SCOPE)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils PARENT_SCOPE)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional PARENT_SCOPE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://trackwarden.example.com/ PARENT_SCOPE)
  # The Qt libraries come from the programs' own links; the window's Arial
  # metrics and Qt's Polish texts are files it looks for at run time.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON PARENT_SCOPE)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, qt6-translations-l10n" PARENT_SCOPE)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF PARENT_SCOPE)
endfunction()
