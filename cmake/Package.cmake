# `make package` in the build folder: a Debian package of what the install
# rules put under /usr.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kandrix)
set(CPACK_PACKAGE_VENDOR "The KANDRIX developers")
set(CPACK_PACKAGE_CONTACT "KANDRIX developers <support@kandrix.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "wizard that converts videos to MPEG and makes video DVDs")
# Lines as the control file shows them: under 80 columns, a blank one between
# paragraphs.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "KANDRIX turns ordinary video files (AVI, DivX/Xvid, WMV, MKV,"
    "MOV/MP4/3GP, MPEG) into MPEG files and DVD-Video discs. Six wizard pages"
    "lead through a run: the task, the files, the output settings, the"
    "conversion, the burn and a summary."
    ""
    "It converts videos into MPEG-1, MPEG-2, VCD, SVCD or DVD-compatible MPEG"
    "files, makes a video DVD from video files, and burns existing"
    "DVD-compatible MPEG files. FFmpeg converts, dvdauthor authors and libburn"
    "records, on a CD or DVD recorder or into an ISO image file.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/COPYING)
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The package goes without debug information; the build folder keeps it.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KANDRIX_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The tools the program runs, beside the libraries it links: every task
# encodes or authors, the VideoCD formats need vcdimager and cdrdao, and the
# disc menus are drawn with a DejaVu font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, dvdauthor, vcdimager, cdrdao, fonts-dejavu-core")
# The help page and the About box's links open through the desktop's opener.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
