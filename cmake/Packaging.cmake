# The Debian package: `cpack -G DEB` in a build tree. Library dependencies come from
# dpkg-shlibdeps; what is loaded at run time without being linked is named here.

# quarry-carve's manual page, made from its --help.
find_program(QUARRY_HELP2MAN help2man)
if(QUARRY_HELP2MAN AND TARGET quarry-carve)
  set(_man ${CMAKE_BINARY_DIR}/man/quarry-carve.1)
  add_custom_command(OUTPUT ${_man}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${QUARRY_HELP2MAN} --no-info --no-discard-stderr --version-string=${PROJECT_VERSION}
            --name "carve lost files out of a disk or disk image" --section 1
            --output ${_man} $<TARGET_FILE:quarry-carve>
    COMMAND gzip -9nf ${_man}
    DEPENDS quarry-carve
    COMMENT "Writing the quarry-carve manual page"
    VERBATIM)
  add_custom_target(quarry_man_pages ALL DEPENDS ${_man}.gz)
  install(FILES ${_man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The window's own page is written by hand: it takes no options.
set(_window_man ${CMAKE_BINARY_DIR}/man/quarry.1.gz)
add_custom_command(OUTPUT ${_window_man}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
  COMMAND sh -c "gzip -9nc '${PROJECT_SOURCE_DIR}/resources/debian/quarry.1' > '${_window_man}'"
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/debian/quarry.1
  VERBATIM)
if(TARGET quarry)
  add_custom_target(quarry_window_man_page ALL DEPENDS ${_window_man})
  install(FILES ${_window_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Debian wants the copyright and a compressed changelog beside every package.
set(_doc ${CMAKE_INSTALL_DATADIR}/doc/quarry-recovery)
set(_changelog ${CMAKE_BINARY_DIR}/debian/changelog)
configure_file(${PROJECT_SOURCE_DIR}/resources/debian/changelog.in ${_changelog} @ONLY)
add_custom_command(OUTPUT ${_changelog}.gz
  COMMAND gzip -9nkf ${_changelog}
  DEPENDS ${_changelog}
  VERBATIM)
add_custom_target(quarry_changelog ALL DEPENDS ${_changelog}.gz)
install(FILES ${_changelog}.gz DESTINATION ${_doc})
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright DESTINATION ${_doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarry-recovery)
set(CPACK_PACKAGE_VENDOR "Quarry Professional")
set(CPACK_PACKAGE_CONTACT "Quarry Recovery developers <developers@quarryprofessional.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "recover lost photos, videos and files from disks and cards")
set(CPACK_PACKAGE_DESCRIPTION
  "Quarry Recovery finds lost photos, videos and other files on hard disks,\n\
memory cards and USB drives by their header signatures, whatever file system\n\
the medium had. It reads the medium sector by sector, never writes to it,\n\
shows what it finds as it goes and saves each checked file to another disk.\n\
\n\
The package holds the desktop application and quarry-carve, its command-line\n\
carver. Devices the user may not read are opened through UDisks2 after a\n\
password prompt.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quarryprofessional.com/")
# Loaded at run time: the window's platform and image plugins; video previews; disk access
# for users who are not root.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-image-formats-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "udisks2, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-libav, breeze-icon-theme")
include(CPack)
