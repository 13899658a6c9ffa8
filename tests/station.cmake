# station/ without a device or a process: its records, and TStation with
# fake children, a fake host and a fake clock.
tw_add_test(test_station
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_station.cpp
  LIBS trackwarden_station
  LABELS station)
