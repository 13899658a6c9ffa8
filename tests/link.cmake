tw_add_test(test_frames
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_frames.cpp
  LIBS trackwarden_link
  LABELS link)
# The runs go through a pseudo-terminal and the native simulator.
if(NOT WIN32)
tw_add_test(test_run
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_run.cpp
  LIBS trackwarden_link
  LABELS link)
add_dependencies(test_run trackwarden-sim)
tw_add_test(test_run_full
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_run_full.cpp
  LIBS trackwarden_link
  LABELS link)
add_dependencies(test_run_full trackwarden-sim)
endif()
tw_add_test(test_serial
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_serial.cpp
  LIBS trackwarden_link
  LABELS link)
