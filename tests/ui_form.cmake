# The window's component tree: names, tables, control behaviour and the look.
if(TW_BUILD_UI)
  find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
  tw_add_test(test_ui_form
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_form.cpp ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_form_tables.cpp
    LIBS trackwarden_ui Qt6::Widgets Qt6::Test
    LABELS ui)
  tw_add_test(test_ui_controls
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_controls.cpp ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_form_look.cpp
    LIBS trackwarden_ui Qt6::Widgets Qt6::Test
    LABELS ui)
endif()
