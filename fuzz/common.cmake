# Targets that build with any compiler: the fuzz target's replay (so a
# finding reproduces without libFuzzer) and the seed-corpus writer. Included
# by the test suite and by the libFuzzer build, whichever comes first.
include_guard(GLOBAL)

set(ELVARIN_FUZZ_DIR ${PROJECT_SOURCE_DIR}/fuzz)

# The fuzz target calls qvpInit as a host does, so the entry points are
# compiled in beside the core's callbacks.
add_executable(ded_fuzz_replay ${ELVARIN_FUZZ_DIR}/ded_fuzz_target.cpp
                               ${ELVARIN_FUZZ_DIR}/reference_image.cpp
                               ${ELVARIN_FUZZ_DIR}/replay_main.cpp
                               ${PROJECT_SOURCE_DIR}/host/entry.cpp)
target_link_libraries(ded_fuzz_replay PRIVATE elvarin_core)
elvarin_warnings(ded_fuzz_replay)

add_executable(ded_make_seeds ${ELVARIN_FUZZ_DIR}/make_seeds.cpp
                              ${PROJECT_SOURCE_DIR}/tests/support/ded_writer.cpp)
target_include_directories(ded_make_seeds PRIVATE ${PROJECT_SOURCE_DIR})
elvarin_warnings(ded_make_seeds)
