# The file routines; the platform's own cases (locks, links, permissions, a
# failing disk through the backend's replaceable calls) in test_files_<platform>.cpp.
set(TW_FILES_TEST_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_files.cpp)
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/test_files_${TW_PLATFORM}.cpp)
  list(APPEND TW_FILES_TEST_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_files_${TW_PLATFORM}.cpp)
endif()
tw_add_test(test_files
  SOURCES ${TW_FILES_TEST_SOURCES}
  LIBS trackwarden_storage trackwarden_settings
  LABELS storage)
