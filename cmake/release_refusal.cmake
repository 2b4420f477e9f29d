# Read by cpack before it stages anything.

# An earlier run's zip, sums and signature go first, so that a run that fails
# (a refusal here, a failed signing or zip later) leaves none of them to pass
# for its own. Only these three names, in the one output folder; a link among
# them is removed, not what it points to.
# packaging.cmake and cpack -B both give an absolute folder; anything else
# names no folder for certain, and nothing is removed.
if(IS_ABSOLUTE "${CPACK_PACKAGE_DIRECTORY}")
  foreach(output "${CPACK_PACKAGE_FILE_NAME}.zip" SHA256SUMS SHA256SUMS.asc)
    file(REMOVE "${CPACK_PACKAGE_DIRECTORY}/${output}")
  endforeach()
endif()

# A release holding an example geo-IP endpoint could never discover, so it is
# not packaged.
if(CPACK_ORVALIS_EXAMPLE_DISCOVERY_URLS)
  list(JOIN CPACK_ORVALIS_EXAMPLE_DISCOVERY_URLS ", " examples)
  message(FATAL_ERROR "No release package: this build holds the example geo-IP endpoint(s) ${examples}, so every "
                      "launch that needs discovery would fail. Configure it with the deployment's "
                      "ORVALIS_PRIMARY_DISCOVERY_URL and ORVALIS_FALLBACK_DISCOVERY_URL, build it, then run cpack again.")
endif()
