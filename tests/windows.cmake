# Cases that only Windows has: exclusive opens, attributes, device names,
# the Win32 serial port, the port list's registry values. The end-to-end run under Wine is cmake/windows-e2e.sh.
if(WIN32)
  tw_add_test(test_win_files
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_win_files.cpp
    LIBS trackwarden_storage trackwarden_settings
    LABELS storage windows)
  tw_add_test(test_win_serial
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_win_serial.cpp
    LIBS trackwarden_link
    LABELS link windows)
  tw_add_test(test_win_ports
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_win_ports.cpp
    LIBS trackwarden_station
    LABELS station windows)
  tw_add_test(test_win_timer
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_win_timer.cpp
    LIBS trackwarden_link
    LABELS link windows)
endif()
