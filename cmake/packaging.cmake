# ZIP archives made by CPack from a build folder:
#
#   cmake --build --preset release && (cd build/release && cpack)
#   bash scripts/test-windows.sh && (cd build/windows && cpack)
#
# Linux: everything the install rules install (the plug-in libelvarin.so,
# the stand-in host library libqvapilib.so, elvarin-host, the GDAL driver
# lib/gdalplugins/gdal_DED.so), the package's README (docs/README-package.md)
# and the driver's page.
# Windows: the plug-in DLL alone, stripped, with its debugging data in
# elvarin.dll.debug beside it and INSTALL-WINDOWS.txt; the host brings its
# own qvapilib.dll, so the stand-in is not shipped.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME elvarin)
set(CPACK_PACKAGE_VENDOR "Elvarin")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Image-importer plug-in for DED elevation files")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES OFF) # the Windows DLL is stripped below, its debugging data kept

if(WIN32)
  set(CPACK_PACKAGE_FILE_NAME elvarin-${PROJECT_VERSION}-windows-x86)

  # The DLL's debugging data and symbols moved into a file of its own, the
  # DLL stripped of both (its export, import, relocation and resource tables
  # stay) and pointed at that file by name (.gnu_debuglink, which debuggers
  # follow when the two sit side by side). Made with every build, so the
  # Windows suite checks the DLL that ships.
  if(NOT CMAKE_OBJCOPY)
    message(FATAL_ERROR "packaging: no objcopy for the Windows toolchain")
  endif()
  set(package_dir ${CMAKE_BINARY_DIR}/package)
  set(stripped ${package_dir}/elvarin.dll)
  set(debug ${package_dir}/elvarin.dll.debug)
  add_custom_command(
    OUTPUT ${stripped} ${debug}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:elvarin> ${debug}
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${debug}
            $<TARGET_FILE:elvarin> ${stripped}
    DEPENDS elvarin
    WORKING_DIRECTORY ${package_dir}
    COMMENT "Stripping elvarin.dll, its debugging data into elvarin.dll.debug"
    VERBATIM)
  add_custom_target(elvarin_stripped_dll ALL DEPENDS ${stripped} ${debug})
  if(TARGET windows_version_tests)
    add_dependencies(windows_version_tests elvarin_stripped_dll)
  endif()

  configure_file(${PROJECT_SOURCE_DIR}/cmake/INSTALL-WINDOWS.txt.in
                 ${package_dir}/INSTALL-WINDOWS.txt @ONLY NEWLINE_STYLE WIN32)
  install(FILES ${stripped} ${debug} ${package_dir}/INSTALL-WINDOWS.txt
          DESTINATION . COMPONENT windows_plugin)
  # Only these three: the install rules of the targets themselves put the
  # unstripped DLL and the stand-in host library in the install tree.
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_ALL windows_plugin)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
else()
  set(CPACK_PACKAGE_FILE_NAME
      elvarin-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
  # The package's README says how to use what it holds; the repository's
  # says how to build it.
  install(FILES ${PROJECT_SOURCE_DIR}/docs/README-package.md DESTINATION . RENAME README.md)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/gdal-driver.md DESTINATION .)
endif()

include(CPack)
