# What every library of the plug-in's own code shares: warnings as errors,
# symbols hidden (they end up inside the plug-in, which exports six names),
# and, in a fuzz build, libFuzzer's coverage feedback with the integer checks
# that are not undefined behaviour: an unsigned wrap or a float that does not
# fit its integer is a size bug here. Library headers wrap on purpose
# (hashes), so they are left out.
function(elvarin_plugin_code target)
  elvarin_warnings(${target})
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  # The release DLL's debugging data is split off into a file of its own
  # (cmake/packaging.cmake); -g leaves the generated code as it is.
  if(WIN32)
    target_compile_options(${target} PRIVATE -g)
  endif()
  if(ELVARIN_FUZZ)
    target_compile_options(${target} PRIVATE
      -fsanitize=fuzzer-no-link,unsigned-integer-overflow,float-cast-overflow
      -fsanitize-ignorelist=${PROJECT_SOURCE_DIR}/fuzz/plugin_checks_ignore.txt)
  endif()
endfunction()

# A Linux shared library that exports only the names its version script
# lists and, outside sanitizer builds, leaves nothing undefined that its own
# links do not supply (clang leaves the sanitizer runtimes out of shared
# libraries, to be found in the executable that loads them). Relinked when
# the script changes.
function(elvarin_exports_only target script)
  target_link_options(${target} PRIVATE "LINKER:--version-script=${script}")
  if(NOT ELVARIN_SANITIZE)
    target_link_options(${target} PRIVATE "LINKER:--no-undefined")
  endif()
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()
