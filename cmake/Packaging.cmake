# What the packages hold, and how CPack builds them (scripts/package.sh runs
# cpack in each build folder; docs/releasing.md):
#   - Windows build: VarnixViconPlugin-<version>-win64.zip, the module with
#     README-Windows.txt, the licence and the notices, and the simulated
#     station in a folder of its own;
#   - Linux build: varnix-vdd-tools_<version>_amd64.deb, vdd-host in
#     /usr/bin, the module and the simulated station in /usr/lib/varnix-vdd/
#     (where vdd-host looks when no --module is given), the profiles and
#     the documents in /usr/share/.
# The version in the file name is the one built into the binaries, read at
# packaging time (cmake/package_version.cmake): "-dirty" when the tree had
# uncommitted changes. Debug information is stripped from what is packed.

set(CPACK_PACKAGE_VENDOR "VarnixViconPlugin developers")
set(CPACK_PACKAGE_CONTACT "VarnixViconPlugin developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Device plug-in for a Varnix EMG base station, with a host emulator and a simulated station")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/package_version.cmake)
set(CPACK_VARNIX_BUILD_VERSION_CMAKE ${VARNIX_BUILD_VERSION_CMAKE})

set(notices_text ${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME VarnixViconPlugin)
  set(CPACK_VARNIX_FILE_NAME_FORMAT "VarnixViconPlugin-%VERSION%-win64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  install(TARGETS VarnixViconPlugin LIBRARY DESTINATION . RUNTIME DESTINATION .)
  install(TARGETS VarnixAPI2 RUNTIME DESTINATION simulated-station
    ARCHIVE DESTINATION lib COMPONENT import_libraries EXCLUDE_FROM_ALL)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/profiles/ DESTINATION simulated-station/profiles
    FILES_MATCHING PATTERN "*.json")
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/README-Windows.txt DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  install(FILES ${notices_text} DESTINATION . RENAME THIRD-PARTY-NOTICES.txt)
  install(FILES ${CMAKE_SOURCE_DIR}/CHANGELOG.md DESTINATION .)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME varnix-vdd-tools)
  set(CPACK_DEBIAN_PACKAGE_NAME varnix-vdd-tools)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # Depends: what the binaries are linked against, found by dpkg-shlibdeps
  # (Boost.Thread for the module, EDFlib for vdd-host, the C and C++ runtimes).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PACKAGE_DESCRIPTION
"vdd-host loads a device plug-in the way the capture host does, drives whole
captures, checks every sample against what the station produced and writes
CSV, SVG plots and BDF+/EDF+ files. The package holds vdd-host, the Linux
build of the plug-in VarnixViconPlugin.vdd and a simulated base station
(libVarnixAPI2.so) with its profiles, so that a capture runs without the
hardware: vdd-host capture -d 5")
  set(doc share/doc/varnix-vdd-tools)
  install(TARGETS vdd-host RUNTIME DESTINATION bin)
  install(TARGETS VarnixViconPlugin VarnixAPI2 LIBRARY DESTINATION lib/varnix-vdd)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/profiles/ DESTINATION share/varnix-vdd/profiles)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/CHANGELOG.md
    ${CMAKE_SOURCE_DIR}/LICENSE ${notices_text} DESTINATION ${doc})
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${doc}/docs)
  # Debian's place for the licences of a package: ours, then the notices.
  set(copyright ${CMAKE_BINARY_DIR}/packaging/copyright)
  file(READ ${CMAKE_SOURCE_DIR}/LICENSE license_text)
  file(READ ${notices_text} notices)
  file(WRITE ${copyright}.new "${license_text}\n\n${notices}")
  file(COPY_FILE ${copyright}.new ${copyright} ONLY_IF_DIFFERENT)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/LICENSE ${notices_text})
  install(FILES ${copyright} DESTINATION ${doc})
endif()

include(CPack)
