# station/ without a device or a process: its records, and TStation with
# fake children, a fake host and a fake clock.
tw_add_test(test_station
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_station.cpp
  LIBS trackwarden_station
  LABELS station)
tw_add_test(test_units_batch
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_units_batch.cpp
  LIBS trackwarden_station
  LABELS station)
if(NOT WIN32)
  tw_add_test(test_units_batch_posix
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_units_batch_posix.cpp
    LIBS trackwarden_station
    LABELS station)
endif()
