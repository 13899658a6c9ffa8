find_package(benchmark REQUIRED)
add_executable(bench_settings ${CMAKE_CURRENT_SOURCE_DIR}/bench_settings.cpp)
target_link_libraries(bench_settings PRIVATE trackwarden_settings benchmark::benchmark)
