# The main window: binding, file commands and the run, through its dialog seam.
if(TW_BUILD_UI)
  find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
  foreach(area binding commands pages run)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_${area}.cpp)
      tw_add_test(test_ui_${area}
        SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_${area}.cpp
        LIBS trackwarden_ui Qt6::Widgets Qt6::Test
        LABELS ui)
    endif()
  endforeach()
  if(TARGET test_ui_run AND TARGET trackwarden-sim)
    add_dependencies(test_ui_run trackwarden-sim)
  endif()
endif()
