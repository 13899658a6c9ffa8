foreach(area layout fields defaults image image_decode image_check check cp1250 units)
  tw_add_test(test_${area}
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_${area}.cpp
    LIBS trackwarden_settings
    LABELS settings)
endforeach()

# glibc has iconv built in; MinGW has none, and the library itself never needs it.
include(CheckIncludeFileCXX)
check_include_file_cxx(iconv.h TW_HAVE_ICONV)
if(TW_HAVE_ICONV)
  tw_add_test(test_cp1250_iconv
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_cp1250_iconv.cpp
    LIBS trackwarden_settings
    LABELS settings)
endif()
