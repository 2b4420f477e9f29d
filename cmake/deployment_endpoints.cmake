# The deployment's geo-IP endpoints, ORVALIS_PRIMARY_DISCOVERY_URL and
# ORVALIS_FALLBACK_DISCOVERY_URL, are checked when the build is configured: a
# wrong one would only show on the users' machines, as launches that never
# discover. The launch tests' own launcher (orvalis_discovery_endpoints with
# loopback http:// URLs) is not checked here.

# orvalis_discovery_url_fault(<out> <url> <path>): <out> is empty when <url> is
# https://<host>[:<port>]<path>, otherwise the reason it is not, to follow the
# variable's name in a message. The probe's answer sets the browser's persona,
# so it must come over TLS; the reading of the answer depends on <path>.
function(orvalis_discovery_url_fault out url path)
  set(label "[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?")
  string(REGEX REPLACE "([.?])" "\\\\\\1" path_pattern "${path}")
  if(NOT url MATCHES "^https://")
    set(fault "must be an https:// URL, not \"${url}\"")
  elseif(NOT url MATCHES "^https://[^/?#]*${path_pattern}$")
    set(fault "must be https://<host>${path} (exactly that path and query after the host), not \"${url}\"")
  elseif(NOT url MATCHES "^https://(${label}(\\.${label})*|\\[[0-9A-Fa-f:.]+\\])(:[0-9]+)?/")
    set(fault "must name a plain host (a name or an address, an optional port, no user information), not \"${url}\"")
  else()
    set(fault "")
  endif()
  set(${out} "${fault}" PARENT_SCOPE)
endfunction()

# orvalis_discovery_url_is_example(<out> <url>): whether <url>'s host is one of
# the names reserved for examples (example.com, .net, .org and the .example
# top-level domain, with any subdomain), which never answer a probe.
function(orvalis_discovery_url_is_example out url)
  string(TOLOWER "${url}" lower)
  if(lower MATCHES "^https://([^/:?#]+\\.)?example(\\.com|\\.net|\\.org)?(:[0-9]+)?/")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Refuses a wrong URL and warns of an example host; ORVALIS_EXAMPLE_DISCOVERY_URLS
# lists the example ones for the packaging, which refuses to package them.
function(orvalis_check_deployment_endpoints)
  set(examples "")
  foreach(which PRIMARY FALLBACK)
    set(variable ORVALIS_${which}_DISCOVERY_URL)
    if(which STREQUAL "PRIMARY")
      set(path "/geoip?format=json")
    else()
      set(path "/myip")
    endif()
    orvalis_discovery_url_fault(fault "${${variable}}" "${path}")
    if(fault)
      message(FATAL_ERROR "${variable} ${fault}.")
    endif()
    orvalis_discovery_url_is_example(example "${${variable}}")
    if(example)
      list(APPEND examples "${${variable}}")
      message(WARNING "${variable} (${${variable}}) names a host reserved for examples, which never answers: every launch "
                      "that needs discovery will fail (blocked with exit code 42, or started without the derived "
                      "values under on-proxy-fail fallback). Set it to the deployment's endpoint; cpack refuses "
                      "to package this build.")
    endif()
  endforeach()
  set(ORVALIS_EXAMPLE_DISCOVERY_URLS "${examples}" PARENT_SCOPE)
endfunction()
