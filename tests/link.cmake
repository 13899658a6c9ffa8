tw_add_test(test_frames
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_frames.cpp
  LIBS trackwarden_link
  LABELS link)
