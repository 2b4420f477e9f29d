# The release zip of the Windows build, made by `cpack --preset windows` once the
# launcher and the launch check are built: build/windows/orvalis-browser-<version>-win64.zip
# holding both, the README and the settings, report and check schemas, and
# SHA256SUMS beside it. Only the release component is packed, so nothing that the tests
# install can slip in.
if(NOT WIN32)
  return()
endif()

# Signing, each part on request: the launcher with Authenticode before it is
# packed, SHA256SUMS with OpenPGP. The cache holds where the key is, never its
# password, which cpack reads from the environment.
set(ORVALIS_SIGNING_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file that signs the release launcher; its password in ORVALIS_SIGNING_PASSWORD when cpack runs")
set(ORVALIS_SIGNING_URL "" CACHE STRING "https:// page the launcher's signature names (with ORVALIS_SIGNING_PKCS12)")
set(ORVALIS_SIGNING_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the launcher's signature (none)")
set(ORVALIS_SIGNING_GPG_KEY "" CACHE STRING "gpg key that signs SHA256SUMS (SHA256SUMS.asc)")
if(ORVALIS_SIGNING_PKCS12)
  if(NOT EXISTS "${ORVALIS_SIGNING_PKCS12}" OR IS_DIRECTORY "${ORVALIS_SIGNING_PKCS12}")
    message(FATAL_ERROR "ORVALIS_SIGNING_PKCS12 names no file: \"${ORVALIS_SIGNING_PKCS12}\"")
  endif()
  # Windows shows it as the publisher's link in the signature's details.
  if(NOT ORVALIS_SIGNING_URL MATCHES "^https://[^ \t\"]+$")
    message(FATAL_ERROR "Signing the launcher needs ORVALIS_SIGNING_URL, the https:// page its signature names, "
                        "not \"${ORVALIS_SIGNING_URL}\"")
  endif()
endif()

install(TARGETS orvalis-browser orvalis-browser-check RUNTIME DESTINATION . COMPONENT release)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION . COMPONENT release)
install(FILES ${CMAKE_SOURCE_DIR}/schemas/command-line.schema.json
              ${CMAKE_SOURCE_DIR}/schemas/launcher-result.schema.json
              ${CMAKE_SOURCE_DIR}/schemas/launcher-error.schema.json
              ${CMAKE_SOURCE_DIR}/schemas/launch-check.schema.json
        DESTINATION schemas COMPONENT release)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME orvalis-browser)
set(CPACK_ORVALIS_PRODUCT_NAME "Orvalis Browser")
set(CPACK_PACKAGE_VENDOR "${CPACK_ORVALIS_PRODUCT_NAME}")
set(CPACK_PACKAGE_FILE_NAME orvalis-browser-${PROJECT_VERSION}-win64)
# Beside the launcher, wherever cpack is started from.
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
# Only the release component of this build tree goes into the one zip.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};release;/")

# Before cpack stages anything: an earlier run's outputs are removed, and a build
# that holds an example endpoint is refused.
set(CPACK_ORVALIS_EXAMPLE_DISCOVERY_URLS "${ORVALIS_EXAMPLE_DISCOVERY_URLS}")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/release_refusal.cmake)
# CPack's own zip depends on the builder's clock, user and file system; the
# zip is made again from the staged files, byte for byte reproducible.
set(CPACK_ORVALIS_SOURCE_DIR ${CMAKE_SOURCE_DIR})
# SHA256SUMS names the zip and, inside the folder it unpacks into, the launcher
# and the launch check; both are signed alike.
set(CPACK_ORVALIS_SUMMED_MEMBERS orvalis-browser.exe orvalis-browser-check.exe)
set(CPACK_ORVALIS_SIGNED_MEMBERS orvalis-browser.exe orvalis-browser-check.exe)
foreach(setting PKCS12 URL TIMESTAMP_URL GPG_KEY)
  set(CPACK_ORVALIS_SIGNING_${setting} "${ORVALIS_SIGNING_${setting}}")
endforeach()
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/reproducible_zip.cmake)
include(CPack)
