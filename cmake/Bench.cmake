# Benchmark programs (bench/run.sh): the baselines built in the same run, the log-pane benchmark
# and the driver that measures inside the sandbox. Built only for the bench target.
add_executable(baseline_restart WIN32 EXCLUDE_FROM_ALL bench/baseline_restart.cpp)
add_executable(baseline_recycle EXCLUDE_FROM_ALL bench/baseline_recycle.cpp)
target_link_libraries(baseline_recycle PRIVATE shell32)
add_executable(logbench EXCLUDE_FROM_ALL bench/logbench.cpp)
target_link_libraries(logbench PRIVATE OrvexCommonControls)
add_executable(bench_driver EXCLUDE_FROM_ALL bench/bench_driver.cpp)
target_link_libraries(bench_driver PRIVATE orvex_test_support psapi)
# The start-up's pieces on their own, with the uninstaller's own resources (manifest, logo).
add_executable(startup_probe EXCLUDE_FROM_ALL bench/startup_probe.cpp resources/Uninstaller.rc)
target_include_directories(startup_probe PRIVATE ${ORVEX_RESOURCE_DIRS})
target_link_libraries(startup_probe PRIVATE comctl32 ole32 shell32 windowscodecs uuid)
foreach(t baseline_restart baseline_recycle logbench bench_driver startup_probe)
  target_link_options(${t} PRIVATE -municode)
endforeach()
add_custom_target(bench DEPENDS baseline_restart baseline_recycle logbench bench_driver
                                startup_probe Uninstaller ${ORVEX_FIXTURE_TARGETS})
