tw_add_test(test_frames
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_frames.cpp
  LIBS trackwarden_link
  LABELS link)

# The port and the runs go through a pseudo-terminal and the native simulator;
# the whole runs and the CLI's runs need the CLI as well.
if(NOT WIN32)
  set(TW_LINK_TESTS test_serial test_run test_run_fast)
  if(TARGET trackwarden-cli)
    list(APPEND TW_LINK_TESTS test_run_full test_run_cli test_run_read)
  endif()
  foreach(test ${TW_LINK_TESTS})
    tw_add_test(${test}
      SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${test}.cpp
      LIBS trackwarden_link trackwarden_settings
      LABELS link)
    add_dependencies(${test} trackwarden-sim)
    if(TARGET trackwarden-cli)
      add_dependencies(${test} trackwarden-cli)
    endif()
  endforeach()
endif()

tw_add_test(test_sim
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_sim.cpp
  LIBS trackwarden_sim
  LABELS sim)

# trackwarden-sim as a program: its link, its lock and its files.
if(NOT WIN32 AND TARGET trackwarden-sim)
  tw_add_test(test_sim_link
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_sim_link.cpp
    LIBS trackwarden_link
    LABELS sim)
  add_dependencies(test_sim_link trackwarden-sim)
endif()
