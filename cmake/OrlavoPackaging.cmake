# `cpack -G DEB` in a build configured by scripts/package --deb: one package, orlavo, installed
# under /usr. Depends is what dpkg-shlibdeps finds the programs linked against, plus the QML
# modules Qt loads by name at run time, which no linker sees.
set(ORLAVO_MAINTAINER "Orlavo developers <maintainers@orlavo.invalid>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orlavo)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${ORLAVO_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "push-to-talk dictation for the Linux desktop")
set(CPACK_PACKAGE_DESCRIPTION "Hold a hotkey, speak, and let go: the words appear, cleaned up, in
whatever application has the focus. A quick double tap keeps recording until
the next one.
.
Transcription runs in orlavo-server, a systemd user service on this machine
that the tray application starts when it needs it. It works offline with
pocketsphinx and can forward to any OpenAI-compatible service.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ORLAVO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-layouts, \
qml6-module-qtquick-window, qml6-module-qtquick-templates, qml6-module-qtquick-shapes, \
qml6-module-qtqml-workerscript, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pocketsphinx-en-us, libcanberra-pulse, sound-theme-freedesktop")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
