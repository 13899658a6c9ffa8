# The main window: binding, file commands and the run, through its dialog seam.
if(TW_BUILD_UI)
  find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
  foreach(area binding commands pages icon)
    tw_add_test(test_ui_${area}
      SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_${area}.cpp
      LIBS trackwarden_ui Qt6::Widgets Qt6::Test
      LABELS ui)
  endforeach()
  # A set held open by another program, in the platform's own way.
  target_sources(test_ui_commands PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_held_${TW_PLATFORM}.cpp)
  # The run tests' simulated device: a child on Linux, started by a wrapper under Wine.
  tw_add_test(test_ui_run
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_run.cpp ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_device_${TW_PLATFORM}.cpp
    LIBS trackwarden_ui Qt6::Widgets Qt6::Test
    LABELS ui)
  if(TARGET test_ui_run AND TARGET trackwarden-sim)
    add_dependencies(test_ui_run trackwarden-sim)
  endif()
endif()

# The station window against simulated devices (children of the test, as
# the run tests' devices are on Linux); its runs are trackwarden-cli's children.
# Under Wine too: programming through Wine's COM ports (cmake/windows-ui-run.sh).
if(TW_BUILD_UI)
  tw_add_test(test_station_window_run
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_station_window_run.cpp
      ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_device_${TW_PLATFORM}.cpp
    LIBS trackwarden_station_ui Qt6::Widgets Qt6::Test
    LABELS ui)
  if(TARGET test_station_window_run)
    add_dependencies(test_station_window_run trackwarden-cli)
  endif()
  if(TARGET test_station_window_run AND TARGET trackwarden-sim)
    add_dependencies(test_station_window_run trackwarden-sim)
  endif()
endif()
# Under Wine too: its devices started on request behind Wine's COM ports
# (cmake/windows-station-run.sh).
if(TW_BUILD_UI)
  tw_add_test(test_station_window
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_station_window.cpp
      ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_device_${TW_PLATFORM}.cpp
      ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_held_${TW_PLATFORM}.cpp
    LIBS trackwarden_station_ui Qt6::Widgets Qt6::Test
    LABELS ui)
  if(TARGET test_station_window)
    add_dependencies(test_station_window trackwarden-cli)
  endif()
  if(TARGET test_station_window AND TARGET trackwarden-sim)
    add_dependencies(test_station_window trackwarden-sim)
  endif()
endif()
