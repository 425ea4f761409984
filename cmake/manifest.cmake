# Application manifests of the Windows programs. The version in them is the
# project's, so a release names one version everywhere.
if(PROJECT_VERSION_PATCH STREQUAL "")
  set(QUARNEL_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
else()
  set(QUARNEL_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
endif()

# quarnel_configure_manifest(TEMPLATE OUT_VAR): writes TEMPLATE (NAME.exe.manifest.in)
# as NAME.exe.manifest into <current build folder>/manifest, where the resource
# script finds it through its include path; OUT_VAR receives its full path.
function(quarnel_configure_manifest template out_var)
  get_filename_component(name "${template}" NAME)
  string(REGEX REPLACE "\\.in$" "" name "${name}")
  file(READ "${PROJECT_SOURCE_DIR}/cmake/supported-os.xml" QUARNEL_SUPPORTED_OS)
  string(REGEX REPLACE "\n$" "" QUARNEL_SUPPORTED_OS "${QUARNEL_SUPPORTED_OS}")
  set(out "${CMAKE_CURRENT_BINARY_DIR}/manifest/${name}")
  configure_file("${template}" "${out}" @ONLY)
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()
