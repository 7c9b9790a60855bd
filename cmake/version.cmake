# The version the Windows programs and packages carry. It is the project's (project() in
# CMakeLists.txt) unless HARROWTALLY_VERSION names another: scripts/package --version configures
# build folders of its own with it, so that the usual ones keep the project's version.
# A Windows Installer version has at most three parts (major and minor up to 255, build up to
# 65535); a program's version resource has four, the fourth always 0 here.
set(HARROWTALLY_VERSION "" CACHE STRING
  "Version stamped into the Windows programs instead of the project's (MAJOR.MINOR or MAJOR.MINOR.BUILD)")

if(HARROWTALLY_VERSION STREQUAL "")
  set(_harrowtally_version ${PROJECT_VERSION})
else()
  set(_harrowtally_version ${HARROWTALLY_VERSION})
endif()
if(NOT _harrowtally_version MATCHES "^(0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)(\\.(0|[1-9][0-9]*))?$")
  message(FATAL_ERROR "Version '${_harrowtally_version}': expected MAJOR.MINOR or MAJOR.MINOR.BUILD")
endif()
set(HARROWTALLY_VERSION_MAJOR ${CMAKE_MATCH_1})
set(HARROWTALLY_VERSION_MINOR ${CMAKE_MATCH_2})
if("${CMAKE_MATCH_4}" STREQUAL "")
  set(HARROWTALLY_VERSION_BUILD 0)
else()
  set(HARROWTALLY_VERSION_BUILD ${CMAKE_MATCH_4})
endif()
if(HARROWTALLY_VERSION_MAJOR GREATER 255 OR HARROWTALLY_VERSION_MINOR GREATER 255
   OR HARROWTALLY_VERSION_BUILD GREATER 65535)
  message(FATAL_ERROR "Version '${_harrowtally_version}': the installer takes at most 255.255.65535")
endif()
# The package's version as written in its file names and in the installer, and the programs'
# four-part file version.
set(HARROWTALLY_PRODUCT_VERSION ${_harrowtally_version})
set(HARROWTALLY_FILE_VERSION
  "${HARROWTALLY_VERSION_MAJOR}.${HARROWTALLY_VERSION_MINOR}.${HARROWTALLY_VERSION_BUILD}.0")
# scripts/package reads it from the cache of the build it packs.
set(HARROWTALLY_PACKAGE_VERSION ${HARROWTALLY_PRODUCT_VERSION} CACHE INTERNAL
  "The version of the programs this build folder makes")

# harrowtally_version_resource(TARGET DESCRIPTION): gives a Windows program or DLL the version
# resource, its file name taken from the target. Its VS_VERSION_INFO is the target's only one.
function(harrowtally_version_resource target description)
  get_target_property(type ${target} TYPE)
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(HARROWTALLY_RESOURCE_FILE_TYPE VFT_APP)
    set(HARROWTALLY_RESOURCE_FILE_NAME ${output_name}.exe)
    set(HARROWTALLY_RESOURCE_EXTRA "")
  else()
    set(HARROWTALLY_RESOURCE_FILE_TYPE VFT_DLL)
    set(HARROWTALLY_RESOURCE_FILE_NAME ${output_name}.dll)
    # regsvr32 and installers read this to know the DLL registers itself.
    set(HARROWTALLY_RESOURCE_EXTRA "VALUE \"OLESelfRegister\", \"\"")
  endif()
  set(HARROWTALLY_RESOURCE_DESCRIPTION ${description})
  set(HARROWTALLY_RESOURCE_INTERNAL_NAME ${output_name})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/version_resource.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
