# The Debian package: `cpack -G DEB` in the build folder (or the `package`
# target) writes tessaro_VERSION_amd64.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaro)
set(CPACK_PACKAGE_VENDOR "The Tessaro developers")
set(CPACK_PACKAGE_CONTACT "The Tessaro developers <dev@tessaro.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The licence page of an installer that shows one.
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch media converter with a Chinese interface")
set(CPACK_PACKAGE_DESCRIPTION
    "Tessaro converts a queue of media files, mostly Flash video, into one of\n"
    "nine formats: RMVB, RM, MPG, AVI, MP4 in high quality, MOV, MP4 for phones,\n"
    "3GP and MP3, through its own encoders over the system's ffmpeg. Its window\n"
    "(in Chinese) takes files, folders and dropped files, sets the video and\n"
    "audio parameters and shows the progress. tessaro-cli converts from the\n"
    "command line.")
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.tessaro.example")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries linked (Qt 6, the AMR-NB library of coder2, libstdc++, libc)
# come from dpkg-shlibdeps, with their versions; only what the executables
# run or read without linking it is named here, so that no package is named
# twice: ffmpeg for the encoders, the CJK fonts of the captions, Qt's Chinese
# translations and platform plugins, and xdg-open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "ffmpeg, fonts-noto-cjk, qt6-translations-l10n, qt6-qpa-plugins, xdg-utils")

include(CPack)
