# The station window's start-up, eight devices at once and its own CPU (POSIX: it times simulators).
if(TW_BUILD_UI AND TARGET trackwarden_station_ui AND NOT WIN32)
  add_executable(bench_station ${CMAKE_CURRENT_SOURCE_DIR}/bench_station.cpp)
  target_link_libraries(bench_station PRIVATE trackwarden_station_ui)
  add_dependencies(bench_station trackwarden-sim trackwarden-cli)
endif()
