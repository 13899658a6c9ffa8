foreach(area layout fields defaults image check cp1250)
  tw_add_test(test_${area}
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_${area}.cpp
    LIBS trackwarden_settings
    LABELS settings)
endforeach()
