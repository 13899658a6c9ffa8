# The window's tests in the Windows build, run under Wine on the offscreen
# platform. Wine hands a Windows program no variable named QT_*, but turns
# WINEQT_* into QT_*. Wine has no Arial: the offscreen platform reads its
# fonts from a folder holding only Liberation Sans (with the whole Liberation
# folder, Arial would fall back to the monospaced face).
if(WIN32 AND TW_BUILD_UI)
  set(TW_WIN_FONTS ${CMAKE_BINARY_DIR}/fonts)
  file(GLOB TW_SANS_FONTS /usr/share/fonts/truetype/liberation/LiberationSans-*.ttf)
  file(COPY ${TW_SANS_FONTS} DESTINATION ${TW_WIN_FONTS})
  # Qt's Polish button texts, found in translations\ beside the programs.
  if(EXISTS /usr/share/qt6/translations/qtbase_pl.qm)
    file(COPY /usr/share/qt6/translations/qtbase_pl.qm DESTINATION ${CMAKE_BINARY_DIR}/bin/translations)
  endif()
  foreach(test test_ui_binding test_ui_commands test_ui_pages test_ui_run test_ui_form test_ui_controls test_ui_finish
      test_station_window_run test_station_window)
    if(TARGET ${test})
      tw_offscreen_plugin(${test})
      # The first window of a Wine session starts Wine's desktop process, which
      # inherits that test's output pipes and lives until the session's last
      # window closes: CTest then waits for those pipes, not for the test,
      # for as long as the run tests beside it go on (three minutes and more).
      set_tests_properties(${test} PROPERTIES
        ENVIRONMENT "WINEQT_QPA_PLATFORM=offscreen;WINEQT_QPA_FONTDIR=Z:${TW_WIN_FONTS}"
        TIMEOUT 600)
    endif()
  endforeach()
  # File names go through the ANSI code page, which Wine takes from the Unix
  # locale: the operators' Polish Windows has 1250, where the names with
  # Polish letters live. The machine need not have the locale: one is made here.
  find_program(TW_LOCALEDEF localedef)
  if(TW_LOCALEDEF)
    # localedef makes the locale's own folder but not its parent.
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/locale)
    execute_process(COMMAND ${TW_LOCALEDEF} -i pl_PL -c -f UTF-8 ${CMAKE_BINARY_DIR}/locale/pl_PL.UTF-8
      RESULT_VARIABLE TW_LOCALE_MADE OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(TW_LOCALE_MADE EQUAL 0)
    set_property(TEST test_ui_commands APPEND PROPERTY ENVIRONMENT
      "LOCPATH=${CMAKE_BINARY_DIR}/locale" "LC_ALL=pl_PL.UTF-8")
  else()
    message(WARNING "no Polish locale for the window's file tests under Wine (localedef, package locales)")
  endif()
  # On the window's own platform and a display (cmake/windows-tests.sh starts Xvfb).
  tw_add_test(test_win_fonts
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_win_fonts.cpp
    LIBS trackwarden_ui Qt6::Widgets Qt6::Test
    LABELS ui windows)
  # The run tests need devices: the wrapper starts native simulators behind
  # Wine's COM1 and COM2 (TW_NATIVE_BIN, set by cmake/windows-tests.sh).
  set_target_properties(test_ui_run PROPERTIES
    CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/cmake/windows-ui-run.sh;${CMAKE_CROSSCOMPILING_EMULATOR}")
  # Three whole runs: about a minute.
  set_tests_properties(test_ui_run PROPERTIES TIMEOUT 300)
  # The station's two programming runs at once, each a trackwarden-cli.exe child, on the same two devices.
  set_target_properties(test_station_window_run PROPERTIES
    CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/cmake/windows-ui-run.sh;${CMAKE_CROSSCOMPILING_EMULATOR}")
  set_tests_properties(test_station_window_run PROPERTIES TIMEOUT 300)
  # The station window's cases, each starting and stopping its devices behind COM1..COM4.
  set_target_properties(test_station_window PROPERTIES
    CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/cmake/windows-station-run.sh;${CMAKE_CROSSCOMPILING_EMULATOR}")
  set_tests_properties(test_station_window PROPERTIES TIMEOUT 300)
  # Wine does not make a serial port exclusive: a held port opens all the same.
  set_property(TEST test_station_window APPEND PROPERTY ENVIRONMENT
    "GTEST_FILTER=-StationWindow.HeldPortIsReportedBusy")
  # One Wine prefix, one set of COM ports: one of these at a time.
  set_tests_properties(test_ui_run test_station_window_run test_station_window PROPERTIES
    RESOURCE_LOCK wine_com_ports)
endif()
