# Builds the Debian package of a build tree and has lintian look it over: neither errors nor
# warnings may be found.
#   cmake -DCPACK= -DBUILD_DIR= -DOUT_DIR= -P check_package.cmake
find_program(lintian lintian)
find_program(shlibdeps dpkg-shlibdeps)
if(NOT lintian OR NOT shlibdeps)
  message(FATAL_ERROR "lintian and dpkg-shlibdeps are needed (Debian packages lintian, dpkg-dev)")
endif()

file(REMOVE_RECURSE ${OUT_DIR})
execute_process(COMMAND ${CPACK} -G DEB -B ${OUT_DIR} --config ${BUILD_DIR}/CPackConfig.cmake
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(GLOB package ${OUT_DIR}/*.deb)
if(NOT rc EQUAL 0 OR NOT package)
  message(FATAL_ERROR "cpack made no package (exit ${rc}):\n${out}")
endif()
execute_process(COMMAND ${lintian} --fail-on error,warning ${package}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lintian found faults in ${package}:\n${out}")
endif()
