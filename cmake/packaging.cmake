# The release zip of the Windows build, made by `cpack --preset windows` once the
# launcher is built: build/windows/orvalis-browser-<version>-win64.zip holding
# the launcher, the README and the settings and report schemas, and SHA256SUMS
# beside it. Only the release component is packed, so nothing that the tests
# install can slip in.
if(NOT WIN32)
  return()
endif()

install(TARGETS orvalis-browser RUNTIME DESTINATION . COMPONENT release)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION . COMPONENT release)
install(FILES ${CMAKE_SOURCE_DIR}/schemas/command-line.schema.json
              ${CMAKE_SOURCE_DIR}/schemas/launcher-result.schema.json
              ${CMAKE_SOURCE_DIR}/schemas/launcher-error.schema.json
        DESTINATION schemas COMPONENT release)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME orvalis-browser)
set(CPACK_PACKAGE_VENDOR "Orvalis Browser")
set(CPACK_PACKAGE_FILE_NAME orvalis-browser-${PROJECT_VERSION}-win64)
# Beside the launcher, wherever cpack is started from.
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
# Only the release component of this build tree goes into the one zip.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};release;/")

# cpack refuses a build that holds an example endpoint before it stages anything.
set(CPACK_ORVALIS_EXAMPLE_DISCOVERY_URLS "${ORVALIS_EXAMPLE_DISCOVERY_URLS}")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/release_refusal.cmake)
# CPack's own zip depends on the builder's clock, user and file system; the
# zip is made again from the staged files, byte for byte reproducible.
set(CPACK_ORVALIS_SOURCE_DIR ${CMAKE_SOURCE_DIR})
# SHA256SUMS names the zip and, inside the folder it unpacks into, the launcher.
set(CPACK_ORVALIS_SUMMED_MEMBERS orvalis-browser.exe)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/reproducible_zip.cmake)
include(CPack)
