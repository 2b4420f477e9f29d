# Run by cpack once its ZIP generator has made the package: signs the staged
# launcher when the build was configured to, makes the zip again from the
# staged files so that two builds of one commit give the same bytes, then
# writes SHA256SUMS beside it, and SHA256SUMS.asc when configured to. CMake
# 3.25's archive writer records each file's access and change times, the
# builder's user and group ids, and the file system's directory order, none of
# which it lets us fix; Info-ZIP's zip with -X records only the name, the
# permission bits, one time and the data.
#
# The one time every member carries, in this order of preference:
#   SOURCE_DATE_EPOCH from the environment (seconds since 1970, UTC),
#   the commit time of the source checkout (git log -1 --format=%ct),
#   1980-01-01 00:00:00 UTC (315532800, the earliest a zip can hold) when the
#   sources are not a git checkout of their own.
# The launcher's Authenticode signature takes that time as its signing time.

set(package "${CPACK_PACKAGE_FILES}")
set(top "${CPACK_TOPLEVEL_DIRECTORY}")
set(staged "${CPACK_TEMPORARY_DIRECTORY}")
set(source "${CPACK_ORVALIS_SOURCE_DIR}")

# cpack copies the package file to the output folder even when this script
# fails, so a failure leaves no package file to copy.
function(refuse message)
  file(REMOVE "${package}")
  message(FATAL_ERROR "${message}")
endfunction()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  set(origin "SOURCE_DATE_EPOCH")
else()
  # Only a checkout whose top is the source folder itself: sources unpacked
  # inside some other repository must not take that repository's time.
  execute_process(COMMAND git -C "${source}" rev-parse --show-toplevel
                  RESULT_VARIABLE failed OUTPUT_VARIABLE checkout OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT failed)
    file(REAL_PATH "${source}" source_real)
    file(REAL_PATH "${checkout}" checkout_real)
    if(source_real STREQUAL checkout_real)
      execute_process(COMMAND git -C "${source}" log -1 --format=%ct
                      RESULT_VARIABLE failed OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
  endif()
  if(NOT failed AND epoch MATCHES "^[0-9]+$")
    set(origin "the commit time of ${source}")
  else()
    set(epoch 315532800)
    set(origin "not a git checkout, no SOURCE_DATE_EPOCH")
  endif()
endif()
# A zip's times run from 1980 to 2107.
if(NOT epoch MATCHES "^[0-9]+$" OR epoch LESS 315532800 OR epoch GREATER_EQUAL 4354819200)
  refuse("SOURCE_DATE_EPOCH must be whole seconds from 315532800 (1980) to 4354819199 (2107), not \"${epoch}\".")
endif()
message(STATUS "Release time stamp ${epoch} (${origin})")

include("${source}/cmake/release_signing.cmake")
if(CPACK_ORVALIS_SIGNING_PKCS12)
  foreach(member IN LISTS CPACK_ORVALIS_SIGNED_MEMBERS)
    orvalis_sign_launcher(fault "${staged}/${member}" "${epoch}")
    if(fault)
      refuse("${fault}")
    endif()
    message(STATUS "Signed ${member} with ${CPACK_ORVALIS_SIGNING_PKCS12}")
  endforeach()
endif()
# zip and gpg have no use for it.
unset(ENV{ORVALIS_SIGNING_PASSWORD})

find_program(ORVALIS_ZIP zip)
if(NOT ORVALIS_ZIP)
  refuse("The release zip needs Info-ZIP's zip (Debian package zip).")
endif()

# Members sorted by their bytes, files only (unzip makes the folders).
file(GLOB_RECURSE members LIST_DIRECTORIES false RELATIVE "${top}" "${staged}/*")
list(SORT members)
foreach(member IN LISTS members)
  if(member MATCHES "\\.exe$")
    file(CHMOD "${top}/${member}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                              WORLD_READ WORLD_EXECUTE)
  else()
    file(CHMOD "${top}/${member}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
endforeach()
execute_process(COMMAND touch -d "@${epoch}" ${members} WORKING_DIRECTORY "${top}" RESULT_VARIABLE failed)
if(failed)
  refuse("Could not set the staged files' times.")
endif()

# zip writes local time; in UTC the recorded time is the epoch itself.
set(ENV{TZ} UTC0)
file(REMOVE "${package}")
execute_process(COMMAND "${ORVALIS_ZIP}" -X -D -q "${package}" ${members} WORKING_DIRECTORY "${top}"
                RESULT_VARIABLE failed)
if(failed)
  refuse("zip could not make ${package}.")
endif()

# sha256sum -c SHA256SUMS checks both in a folder that holds the zip and the
# folder it unpacks into.
get_filename_component(package_name "${package}" NAME)
file(SHA256 "${package}" sum)
set(sums "${sum}  ${package_name}\n")
foreach(member IN LISTS CPACK_ORVALIS_SUMMED_MEMBERS)
  file(SHA256 "${staged}/${member}" sum)
  set(sums "${sums}${sum}  ${CPACK_PACKAGE_FILE_NAME}/${member}\n")
endforeach()
# Made beside the staged folder and copied out only once all is signed: a
# failure leaves no sums in the output folder (release_refusal.cmake removed
# the earlier run's).
set(outputs "${top}/SHA256SUMS")
file(WRITE "${top}/SHA256SUMS" "${sums}")
if(CPACK_ORVALIS_SIGNING_GPG_KEY)
  orvalis_sign_sums(fault "${top}/SHA256SUMS" "${top}/SHA256SUMS.asc")
  if(fault)
    refuse("${fault}")
  endif()
  list(APPEND outputs "${top}/SHA256SUMS.asc")
endif()
file(COPY ${outputs} DESTINATION "${CPACK_OUTPUT_FILE_PREFIX}")
