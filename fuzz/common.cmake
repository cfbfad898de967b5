# Targets that build with any compiler: the fuzz target's replay (so a
# finding reproduces without libFuzzer) and the seed-corpus writer. Included
# by the test suite and by the libFuzzer build, whichever comes first.
include_guard(GLOBAL)

set(ELVARIN_FUZZ_DIR ${PROJECT_SOURCE_DIR}/fuzz)

add_executable(ded_fuzz_replay ${ELVARIN_FUZZ_DIR}/ded_fuzz_target.cpp
                               ${ELVARIN_FUZZ_DIR}/replay_main.cpp)
# The fuzz target calls qvpInit as a host does and holds get-image to the
# tests' plain reference rendering.
target_link_libraries(ded_fuzz_replay PRIVATE elvarin_plugin_objects ded_reference)
elvarin_warnings(ded_fuzz_replay)

add_executable(ded_make_seeds ${ELVARIN_FUZZ_DIR}/make_seeds.cpp)
target_link_libraries(ded_make_seeds PRIVATE ded_test_writer)
elvarin_warnings(ded_make_seeds)

# The GDAL driver's fuzz target, replayed the same way (Linux, where the
# driver is built).
if(TARGET elvarin_gdal_driver)
  add_executable(gdal_fuzz_replay ${ELVARIN_FUZZ_DIR}/gdal_fuzz_target.cpp
                                  ${ELVARIN_FUZZ_DIR}/replay_main.cpp)
  target_link_libraries(gdal_fuzz_replay PRIVATE elvarin_gdal_driver)
  elvarin_warnings(gdal_fuzz_replay)
endif()
