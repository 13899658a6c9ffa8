tw_add_test(test_frames
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_frames.cpp
  LIBS trackwarden_link
  LABELS link)
tw_add_test(test_run
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_run.cpp
  LIBS trackwarden_link
  LABELS link)
add_dependencies(test_run trackwarden-sim)
