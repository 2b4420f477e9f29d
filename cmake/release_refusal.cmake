# Read by cpack before it stages anything: a release holding an example geo-IP
# endpoint could never discover, so it is not packaged.
if(CPACK_ORVALIS_EXAMPLE_DISCOVERY_URLS)
  list(JOIN CPACK_ORVALIS_EXAMPLE_DISCOVERY_URLS ", " examples)
  message(FATAL_ERROR "No release package: this build holds the example geo-IP endpoint(s) ${examples}, so every "
                      "launch that needs discovery would fail. Configure it with the deployment's "
                      "ORVALIS_PRIMARY_DISCOVERY_URL and ORVALIS_FALLBACK_DISCOVERY_URL, build it, then run cpack again.")
endif()
