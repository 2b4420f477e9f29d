# The release's two signatures, each made only when the build was configured
# for it (see packaging.cmake), by reproducible_zip.cmake while cpack runs.
# Each function leaves in <fault> an empty string, or one line saying why it
# could not sign.

# orvalis_sign_launcher(<fault> <file> <time>): signs <file> in place with
# Authenticode (SHA-256) from the PKCS#12 file CPACK_ORVALIS_SIGNING_PKCS12.
# The signature's signing time is <time> (seconds since 1970, the zip's time),
# not the clock, so two signings of one commit with one key and no time-stamp
# server give the same bytes.
#
# The password comes from the environment variable ORVALIS_SIGNING_PASSWORD
# and reaches osslsigncode only through a pipe: the shell takes it out of the
# environment that osslsigncode inherits and writes it with its own printf, so
# it is on no command line (osslsigncode's -pass would be) and in no file.
function(orvalis_sign_launcher fault file time)
  if("$ENV{ORVALIS_SIGNING_PASSWORD}" STREQUAL "")
    set(${fault} "Signing needs the password of ${CPACK_ORVALIS_SIGNING_PKCS12} in ORVALIS_SIGNING_PASSWORD."
        PARENT_SCOPE)
    return()
  endif()
  set(timestamp "")
  if(CPACK_ORVALIS_SIGNING_TIMESTAMP_URL)
    set(timestamp -ts "${CPACK_ORVALIS_SIGNING_TIMESTAMP_URL}")
  endif()
  # Beside the staged folder, so that a failure leaves nothing inside it.
  get_filename_component(name "${file}" NAME)
  set(signed "${CPACK_TOPLEVEL_DIRECTORY}/signed-${name}")
  # The script holds no semicolon, which would split it here.
  orvalis_run_signer(failure osslsigncode osslsigncode "${signed}"
    "osslsigncode could not sign ${name} with ${CPACK_ORVALIS_SIGNING_PKCS12}"
    sh -c [[password=$ORVALIS_SIGNING_PASSWORD
            unset ORVALIS_SIGNING_PASSWORD
            printf '%s' "$password" | "$0" "$@"]]
    osslsigncode sign -pkcs12 "${CPACK_ORVALIS_SIGNING_PKCS12}" -readpass /dev/stdin
    -h sha256 -n "${CPACK_ORVALIS_PRODUCT_NAME}" -i "${CPACK_ORVALIS_SIGNING_URL}" -time "${time}"
    ${timestamp} -in "${file}" -out "${signed}")
  if(NOT failure)
    file(RENAME "${signed}" "${file}")
  endif()
  set(${fault} "${failure}" PARENT_SCOPE)
endfunction()

# orvalis_sign_sums(<fault> <sums> <signature>): writes <signature>, a detached
# ASCII-armoured OpenPGP signature of the file <sums> by the key
# CPACK_ORVALIS_SIGNING_GPG_KEY. It carries the time it was made.
function(orvalis_sign_sums fault sums signature)
  orvalis_run_signer(failure gpg gnupg "${signature}"
    "gpg could not sign SHA256SUMS with the key ${CPACK_ORVALIS_SIGNING_GPG_KEY}"
    gpg --batch --yes --local-user "${CPACK_ORVALIS_SIGNING_GPG_KEY}" --armor --detach-sign
    --output "${signature}" "${sums}")
  set(${fault} "${failure}" PARENT_SCOPE)
endfunction()

# orvalis_run_signer(<fault> <tool> <package> <made> <what> <command>...): runs
# the command, which starts <tool> (from the Debian package <package>) to make
# the file <made>. On failure no <made> is left, and <fault> says why, after
# "<what>: " when the command failed.
function(orvalis_run_signer fault tool package made what)
  find_program(ORVALIS_SIGNING_TOOL_${tool} ${tool})
  if(NOT ORVALIS_SIGNING_TOOL_${tool})
    set(${fault} "Signing needs ${tool}, which is not installed (Debian package ${package})." PARENT_SCOPE)
    return()
  endif()
  file(REMOVE "${made}")
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    file(REMOVE "${made}")
    string(REGEX REPLACE "[\r\n]+" " " output "${output}")
    set(${fault} "${what}: ${output}" PARENT_SCOPE)
  else()
    set(${fault} "" PARENT_SCOPE)
  endif()
endfunction()
