# Checks the plug-in library's dynamic symbol table against the host's
# contract: exactly the six plug-in names defined, every qv... name it uses
# one of the host library's functions, left for libqvapilib.so to provide.
# Run with -DNM=<nm> -DREADELF=<readelf> -DLIBRARY=<path to the plug-in>.

set(exported qvpExit qvpIDString qvpInit qvpUUIDString qvpVendor qvpVersion)
set(host_functions
  qvRegisterImageImporter qvSetReadImageGeoInfoFunc qvUnregisterAllTools qvMalloc qvFree
  qvGetImageRowWidth qvSetTextureWidth qvSetTextureHeight qvSetTextureType
  qvSetTextureSampleSize qvSetTextureTransparentValue qvSetTextureTiledFlag
  qvSetTextureSignedFlag qvSetTextureMinMax qvSetTextureGeoType qvSetTextureGeoImageOrigin
  qvSetTextureGeoProjection qvSetTextureGeoEarthModel qvSetTextureGeoUTMZone
  qvSetTextureGeoUTMHemisphere qvSetTextureGeoNumCtlPts qvSetTextureGeoCtlPt)

# The names nm lists with the given option, without symbol versions.
function(dynamic_names option out)
  execute_process(COMMAND ${NM} -D ${option} ${LIBRARY}
                  OUTPUT_VARIABLE listing RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${NM} -D ${option} ${LIBRARY} failed: ${errors}")
  endif()
  string(REGEX MATCHALL "[^\n]+" lines "${listing}")
  set(names)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE ".* ([^ ]+)$" "\\1" name "${line}")
    string(REGEX REPLACE "@.*" "" name "${name}")
    list(APPEND names ${name})
  endforeach()
  list(SORT names)
  set(${out} ${names} PARENT_SCOPE)
endfunction()

set(failures)

dynamic_names(--defined-only defined)
if(NOT defined STREQUAL exported)
  list(APPEND failures "defined: '${defined}', expected exactly '${exported}'")
endif()

dynamic_names(--undefined-only undefined)
set(used_host_functions)
foreach(name IN LISTS undefined)
  if(name MATCHES "^qv")
    list(FIND host_functions ${name} index)
    if(index LESS 0)
      list(APPEND failures "undefined ${name} is not a host library function")
    endif()
    list(APPEND used_host_functions ${name})
  endif()
endforeach()
if(NOT used_host_functions)
  list(APPEND failures "no host library function is left undefined")
endif()

execute_process(COMMAND ${READELF} -d ${LIBRARY} OUTPUT_VARIABLE dynamic RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT dynamic MATCHES "\\(NEEDED\\)[^\n]*\\[libqvapilib\\.so\\]")
  list(APPEND failures "libqvapilib.so is not among the libraries the plug-in needs")
endif()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "${LIBRARY}:\n  ${text}")
endif()
list(LENGTH used_host_functions count)
message(STATUS "exports ${defined}; ${count} host functions left to libqvapilib.so")
