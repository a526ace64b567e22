# The Debian package: cpack -G DEB in a Release build directory (./run --package).
# Its library dependencies come from dpkg-shlibdeps, so the .deb names exactly the
# Debian packages of the Qt, FFmpeg, HDF5 and giflib builds it was linked against.
set(CPACK_PACKAGE_NAME qrnview)
set(CPACK_PACKAGE_VENDOR "qrnview developers")
set(QRN_PACKAGE_MAINTAINER "qrnview maintainers <maintainers@qrnview.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${QRN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "3-D viewer and converter for quarn conductor motion analysis results")
# Lines under 80 columns, as Debian's control file wants them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "qrnview reads the results of quarn, a dynamic analysis of overhead power-line\n"
  "conductors, and shows the cables and beams moving as an animated 3-D wire-frame\n"
  "(a depth-scaled parallel view and a true perspective view). It converts the\n"
  "results into a compact binary dataset file, CSV files, animated GIFs, MP4/WebM\n"
  "videos and HDF5/XDMF for ParaView; qrnconv does the same from the command line.\n"
  "The user interface is in Japanese.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # qrnview_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: Japanese glyphs for the
# windows and pictures, Qt's platform plugins (no window opens without one),
# Qt's own Japanese texts for the standard dialogs, and the tools whose
# triggers register the file types and the menu entry.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, shared-mime-info, desktop-file-utils")

include(CPack)
