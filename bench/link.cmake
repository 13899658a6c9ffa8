# Whole runs through the CLI, and in process, against the simulator.
if(NOT WIN32 AND TARGET trackwarden-cli AND TARGET trackwarden-sim)
  find_package(benchmark REQUIRED)
  add_executable(bench_run ${CMAKE_CURRENT_SOURCE_DIR}/bench_run.cpp)
  target_link_libraries(bench_run PRIVATE benchmark::benchmark trackwarden_link)
  target_compile_definitions(bench_run PRIVATE TW_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  add_dependencies(bench_run trackwarden-cli trackwarden-sim)
endif()
