# Which folder holds Sets/ and Sys/: beside the programs or the user's own.
tw_add_test(test_folders
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_folders.cpp
  LIBS trackwarden_storage trackwarden_settings
  LABELS storage)
