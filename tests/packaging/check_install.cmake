# Installs the build tree into a scratch prefix and checks that everything a
# desktop needs lands where it looks for it.
#   cmake -DBUILD_DIR= -DPREFIX= -DAPP_ID= -DEXPECT_APP=0|1 -DEXPECT_CARVE=0|1 -P check_install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (exit ${rc}):\n${err}")
endif()

set(expected
  share/quarry/QRYExt2.dll share/quarry/QRYExt2Adv.dll
  share/quarry/QRYVideo.dll share/quarry/QRYVideoAdv.dll
  share/quarry/QRYRaw.dll share/quarry/QRYRawAdv.dll
  share/quarry/Help.pdf share/quarry/NoPreview.png share/quarry/AppIcon.png
  share/applications/${APP_ID}.desktop
  share/metainfo/${APP_ID}.metainfo.xml
  share/icons/hicolor/scalable/apps/${APP_ID}.svg
  share/icons/hicolor/48x48/apps/${APP_ID}.png
  share/icons/hicolor/256x256/apps/${APP_ID}.png)
if(EXPECT_APP)
  list(APPEND expected bin/quarry)
endif()
if(EXPECT_CARVE)
  list(APPEND expected bin/quarry-carve)
endif()

set(missing)
foreach(path ${expected})
  if(NOT EXISTS ${PREFIX}/${path})
    list(APPEND missing ${path})
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n  " listing)
  message(FATAL_ERROR "missing from the install tree:\n  ${listing}")
endif()

# Build-time tools stay out of the installed product.
foreach(tool quarry-resgen quarry-demo-media)
  if(EXISTS ${PREFIX}/bin/${tool})
    message(FATAL_ERROR "bin/${tool} was installed")
  endif()
endforeach()

# The installed carver finds the installed definition files on its own: a type
# that only they define is accepted, and a blank medium scans cleanly.
if(EXPECT_CARVE)
  set(medium ${PREFIX}/blank-medium.img)
  string(REPEAT " " 65536 blank)
  file(WRITE ${medium} "${blank}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=QUARRY_RESOURCES
                          ${PREFIX}/bin/quarry-carve --mode raw --types PDF --json ${medium}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the installed quarry-carve did not find its resources (exit ${rc}):\n${out}")
  endif()
endif()

# The metainfo must find its desktop entry in the installed tree.
find_program(appstreamcli appstreamcli)
if(NOT appstreamcli)
  message(FATAL_ERROR "appstreamcli is not installed (Debian package appstream)")
endif()
execute_process(COMMAND ${appstreamcli} validate-tree --no-net --strict ${PREFIX}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "appstreamcli validate-tree rejected the install tree:\n${out}")
endif()
