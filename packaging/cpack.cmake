# The Debian packages, from one `cpack -G DEB` in the build folder (or the
# `package` target): tessaro_VERSION_amd64.deb, the program (the install
# component tessaro), and tessaro-feedback-server_VERSION_amd64.deb, the
# receiver of the feedback form for the maker's server (feedback-server).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaro)
set(CPACK_PACKAGE_VENDOR "The Tessaro developers")
set(CPACK_PACKAGE_CONTACT "The Tessaro developers <dev@tessaro.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The licence page of an installer that shows one.
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/LICENSE")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tessaro feedback-server)
set(CPACK_DEBIAN_TESSARO_PACKAGE_NAME tessaro)
set(CPACK_DEBIAN_FEEDBACK-SERVER_PACKAGE_NAME tessaro-feedback-server)
# Each package's description begins with its summary line (so no
# CPACK_PACKAGE_DESCRIPTION_SUMMARY, which CPack would put before both).
string(CONCAT CPACK_DEBIAN_TESSARO_DESCRIPTION
    "batch media converter with a Chinese interface\n"
    "Tessaro converts a queue of media files, mostly Flash video, into one of\n"
    "nine formats: RMVB, RM, MPG, AVI, MP4 in high quality, MOV, MP4 for phones,\n"
    "3GP and MP3, through its own encoders over the system's ffmpeg. Its window\n"
    "(in Chinese) takes files, folders and dropped files, sets the video and\n"
    "audio parameters and shows the progress. tessaro-cli converts from the\n"
    "command line.")
string(CONCAT CPACK_DEBIAN_FEEDBACK-SERVER_DESCRIPTION
    "receiver of Tessaro's feedback form\n"
    "tessaro-feedbackd answers the requests that Tessaro's feedback form sends\n"
    "to its maker's site and keeps each message, with its time and the\n"
    "client's address, in an SQLite database; `tessaro-feedbackd export` prints\n"
    "them as CSV or JSON. It limits the size of each field and the rate of each\n"
    "client, and runs as the sandboxed systemd service tessaro-feedbackd.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_TESSARO_PACKAGE_SECTION video)
set(CPACK_DEBIAN_FEEDBACK-SERVER_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TESSARO_SITE}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries linked (Qt 6, the AMR-NB library of coder2, libstdc++, libc)
# come from dpkg-shlibdeps, with their versions; only what the executables
# run or read without linking it is named here, so that no package is named
# twice: ffmpeg for the encoders, the CJK fonts of the captions, Qt's Chinese
# translations and platform plugins, and xdg-open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TESSARO_PACKAGE_DEPENDS
    "ffmpeg, fonts-noto-cjk, qt6-translations-l10n, qt6-qpa-plugins, xdg-utils")
# Over https:// the feedback form checks the site's certificate against the
# system's authorities (Qt's TLS backend comes with libqt6network6).
if(TESSARO_SITE MATCHES "^https:")
  string(APPEND CPACK_DEBIAN_TESSARO_PACKAGE_DEPENDS ", ca-certificates")
endif()

# The receiver's settings are the administrator's to change.
set(CPACK_DEBIAN_FEEDBACK-SERVER_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/server/conffiles)

include(CPack)
