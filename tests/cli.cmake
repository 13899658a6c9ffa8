# trackwarden-cli's file subcommands, run as the built program.
if(TARGET trackwarden-cli AND NOT WIN32)
  tw_add_test(test_cli
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_cli.cpp
    LIBS trackwarden_storage trackwarden_settings
    LABELS cli)
  add_dependencies(test_cli trackwarden-cli trackwarden-cli-manual)
endif()
if(TARGET trackwarden-cli AND NOT WIN32)
  tw_add_test(test_cli_hardening
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_cli_hardening.cpp
    LIBS trackwarden_storage trackwarden_settings
    LABELS cli)
  add_dependencies(test_cli_hardening trackwarden-cli)
endif()
