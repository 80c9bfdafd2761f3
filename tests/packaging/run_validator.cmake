# Runs a desktop metadata validator on FILE and fails on any finding.
#   cmake -DVALIDATOR=desktop|appstream -DFILE=path -P run_validator.cmake
if(VALIDATOR STREQUAL "desktop")
  find_program(program desktop-file-validate)
  set(package desktop-file-utils)
  set(arguments ${FILE})
elseif(VALIDATOR STREQUAL "appstream")
  find_program(program appstreamcli)
  set(package appstream)
  # Offline: without --no-net every URL is fetched and the check fails.
  set(arguments validate --no-net --strict ${FILE})
else()
  message(FATAL_ERROR "unknown validator '${VALIDATOR}'")
endif()
if(NOT program)
  message(FATAL_ERROR "the validator is not installed (Debian package ${package})")
endif()

execute_process(COMMAND ${program} ${arguments} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${program} rejected ${FILE} (exit ${rc}):\n${out}")
endif()
# desktop-file-validate exits 0 on hints; a clean entry prints nothing.
if(VALIDATOR STREQUAL "desktop" AND NOT out STREQUAL "")
  message(FATAL_ERROR "${program} has remarks on ${FILE}:\n${out}")
endif()
