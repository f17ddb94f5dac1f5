# The Debian package: `cpack -G DEB` in a build tree (scripts/package.sh does it).
set(CPACK_PACKAGE_NAME pagewick)
set(CPACK_PACKAGE_VENDOR "The Pagewick developers")
set(CPACK_PACKAGE_CONTACT "The Pagewick developers <packaging@pagewick.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Open, edit and save PDF documents")
set(CPACK_PACKAGE_DESCRIPTION
    "Pagewick opens PDF documents in one window, lets you work on their pages and saves the result where you choose. It recognises text in scanned pages (English and French), prints, and keeps a list of recently opened files.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME pagewick)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# The libraries come from dpkg-shlibdeps; the recognition models are data files it
# cannot see.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "tesseract-ocr-eng, tesseract-ocr-fra")
# GTK's file dialogs go through the portal when one runs; without it they are GTK's own.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-desktop-portal-gtk")

include(CPack)
