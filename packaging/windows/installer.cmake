# The Windows installer: `cpack -G NSIS` in a Windows build of the window
# writes Tessaro-VERSION-win64.exe from NSIS.template.in beside this file
# (makensis, Debian's nsis, builds Windows installers on Linux too). It holds
# what `cmake --install` puts into the program folder, the DLLs stripped.
#
# ffmpeg.exe is not built here: TESSARO_WINDOWS_FFMPEG names the one to ship
# in data\ (scripts/windows-ffmpeg.sh fetches it), with its licence beside it.
set(TESSARO_WINDOWS_FFMPEG "" CACHE FILEPATH "ffmpeg.exe to ship in the program's data folder")
set(TESSARO_FFMPEG_BUILD "20181217-f22fcd4" CACHE STRING "The build name of that ffmpeg.exe")
if(TESSARO_WINDOWS_FFMPEG)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/ffmpeg-licence.txt.in
                 ${CMAKE_BINARY_DIR}/ffmpeg-licence-head.txt @ONLY)
  file(READ ${CMAKE_BINARY_DIR}/ffmpeg-licence-head.txt head)
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE gpl)
  file(WRITE ${TESSARO_DATA_DIR}/ffmpeg-LICENSE.txt "${head}${gpl}")
  file(COPY ${TESSARO_WINDOWS_FFMPEG} DESTINATION ${TESSARO_DATA_DIR})
  install(FILES ${TESSARO_DATA_DIR}/ffmpeg.exe ${TESSARO_DATA_DIR}/ffmpeg-LICENSE.txt
          DESTINATION ${TESSARO_INSTALL_DIR}/data)
else()
  message(WARNING "TESSARO_WINDOWS_FFMPEG is not set: the installer will ship no ffmpeg.exe")
endif()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${TESSARO_INSTALL_DIR} RENAME LICENSE.txt)

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Tessaro)
set(CPACK_PACKAGE_VENDOR "The Tessaro developers")
set(CPACK_PACKAGE_FILE_NAME "Tessaro-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tessaro)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tessaro)
# "Apps & features" links to the maker's site.
set(CPACK_NSIS_URL_INFO_ABOUT "${TESSARO_SITE}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_MONOLITHIC_INSTALL ON)
# The template is ours (CPack looks for NSIS.template.in on the module path
# first); the icon is the window's, made at build time.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_NSIS_MUI_ICON ${CMAKE_BINARY_DIR}/resources/tessaro.ico)
# The welcome and finish pages' picture (164x314, a 24-bit BMP as NSIS wants
# it): the icon on the window's own light background, instead of NSIS's
# stock computer.
if(TESSARO_RSVG_CONVERT AND TESSARO_IM_CONVERT)
  set(bitmap ${CMAKE_BINARY_DIR}/resources/installer-welcome.bmp)
  add_custom_command(OUTPUT ${bitmap}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
    COMMAND ${TESSARO_RSVG_CONVERT} -w 112 -h 112 -o ${CMAKE_BINARY_DIR}/resources/icon-112.png
            ${PROJECT_SOURCE_DIR}/packaging/tessaro.svg
    COMMAND ${TESSARO_IM_CONVERT} -size 164x314 "gradient:#f4f6f9-#d8e0ea"
            ${CMAKE_BINARY_DIR}/resources/icon-112.png -gravity north -geometry +0+56 -composite
            -type truecolor BMP3:${bitmap}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/tessaro.svg
    COMMENT "Making the installer's welcome picture")
  add_custom_target(tessaro_installer_bitmap ALL DEPENDS ${bitmap})
  set(CPACK_NSIS_MUI_WELCOMEFINISHPAGE_BITMAP ${bitmap})
endif()
include(CPack)
