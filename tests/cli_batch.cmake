# trackwarden-cli for production lines: runs on many ports, --json, --log, ports.
if(TARGET trackwarden-cli AND NOT WIN32)
  tw_add_test(test_cli_parts
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_cli_parts.cpp
    LIBS trackwarden_cli_parts util
    LABELS cli)
  tw_add_test(test_cli_batch
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_cli_batch.cpp
    LIBS trackwarden_cli_parts util
    LABELS cli)
  add_dependencies(test_cli_batch trackwarden-cli trackwarden-sim)
endif()
if(TARGET trackwarden-cli AND NOT WIN32)
  tw_add_test(test_cli_units
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_cli_units.cpp
    LIBS trackwarden_cli_parts util
    LABELS cli)
  add_dependencies(test_cli_units trackwarden-cli trackwarden-sim)
endif()
