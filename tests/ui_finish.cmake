# How the window's boxes, status bar and dialogs look to a user.
if(TW_BUILD_UI)
  find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
  tw_add_test(test_ui_finish
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_ui_finish.cpp
    LIBS trackwarden_ui Qt6::Widgets Qt6::Test
    LABELS ui)
endif()
