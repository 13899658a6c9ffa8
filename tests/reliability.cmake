# Fault matrix, unplugging and the soak: the simulator and the CLI as the
# device and the front end. make soak runs the soak at full length.
if(NOT WIN32 AND TARGET trackwarden-cli AND TARGET trackwarden-sim)
  foreach(test test_faults test_faults_files test_faults_signals test_faults_children test_unplug test_soak)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${test}.cpp)
      if(test STREQUAL test_soak)
        set(labels soak)
      else()
        set(labels reliability)
      endif()
      tw_add_test(${test}
        SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${test}.cpp
        LIBS trackwarden_station trackwarden_link trackwarden_settings util
        LABELS ${labels})
      add_dependencies(${test} trackwarden-sim trackwarden-cli)
    endif()
  endforeach()
endif()
