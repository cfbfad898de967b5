# What a Windows build needs beyond the common one: DLL names as the host
# expects them, programs next to the DLLs they load, floating point without
# excess precision, and GoogleTest built with the same compiler.

# The host loads qvapilib.dll and elvarin.dll, not libqvapilib.dll; the import
# libraries keep the names the linker looks for (qvapilib.dll.a).
set(CMAKE_SHARED_LIBRARY_PREFIX "")
set(CMAKE_SHARED_MODULE_PREFIX "")
set(CMAKE_IMPORT_LIBRARY_PREFIX "")

# Windows finds a program's DLLs in the program's own folder: put every
# program and DLL in one, so tests run without a search path.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Single and double precision results must not depend on the x87 unit's
# precision control. GCC 12 implements -fexcess-precision=standard only for C,
# so in C++ the guarantee comes from doing the arithmetic in SSE registers
# (-mfpmath=sse, from the toolchain file); refuse to configure without it.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles([[
  #include <cfloat>
  static_assert(FLT_EVAL_METHOD == 0, "float arithmetic keeps excess precision");
  int main() { return 0; }
]] ELVARIN_NO_EXCESS_PRECISION)
if(NOT ELVARIN_NO_EXCESS_PRECISION)
  message(FATAL_ERROR "FLT_EVAL_METHOD is not 0: build with -msse2 -mfpmath=sse "
                      "(cmake/toolchain-i686-w64-mingw32.cmake)")
endif()
foreach(flag -mincoming-stack-boundary -mpreferred-stack-boundary)
  if(CMAKE_CXX_FLAGS MATCHES "${flag}" OR CMAKE_C_FLAGS MATCHES "${flag}")
    message(FATAL_ERROR "${flag}: a 32-bit Windows host calls the plug-in with a stack "
                        "aligned to 4 bytes only; keep the compiler's default")
  endif()
endforeach()

# There is no GoogleTest built for Windows to find; build it from the sources
# Debian's googletest package ships, with the toolchain's compiler.
if(ELVARIN_TESTS)
  set(ELVARIN_GOOGLETEST_SOURCE /usr/src/googletest
      CACHE PATH "GoogleTest sources to build for the Windows test programs")
  if(NOT EXISTS ${ELVARIN_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${ELVARIN_GOOGLETEST_SOURCE} "
                        "(Debian package googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${ELVARIN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# The plug-in DLL exports the six names of the host's loading contract,
# undecorated, the four strings as data, and nothing else.
function(elvarin_windows_plugin target)
  set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "")
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/plugin/elvarin.def)
  elvarin_version_resource(${target})
endfunction()

# A VERSIONINFO resource for target, compiled by windres from
# cmake/version.rc.in: file and product version from the project's version,
# product name "Elvarin", and a description, the plug-in's unless given:
#   elvarin_version_resource(target [DESCRIPTION text])
function(elvarin_version_resource target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "DESCRIPTION" "")
  if(NOT ARG_DESCRIPTION)
    set(ARG_DESCRIPTION "Elvarin importer plug-in for DED elevation files")
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(ELVARIN_RC_FILE_TYPE VFT_APP)
    set(suffix ${CMAKE_EXECUTABLE_SUFFIX})
  else()
    set(ELVARIN_RC_FILE_TYPE VFT_DLL)
    set(suffix ${CMAKE_SHARED_LIBRARY_SUFFIX})
  endif()
  set(ELVARIN_RC_TARGET ${target})
  set(ELVARIN_RC_FILE_NAME ${target}${suffix})
  set(ELVARIN_RC_DESCRIPTION "${ARG_DESCRIPTION}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
