# Install rules. The program folder stays whole, because the program finds
# everything it runs and reads by appending a name to its own folder; the
# launcher in the binary folder is a relative link, which the program sees
# through (/proc/self/exe names the real file). The settings file is never
# installed: a program folder marked as installed keeps no settings of its
# own, each user's go to their configuration folder.

include(GNUInstallDirs)
# Named after the package, which is lower case, unlike the project.
set(KANDRIX_INSTALL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kandrix)

set(KANDRIX_APP_ID org.kandrix.Kandrix)
set(KANDRIX_INSTALL_PROGRAM_DIR ${CMAKE_INSTALL_LIBEXECDIR}/kandrix)
set(KANDRIX_INSTALL_STAGE ${CMAKE_BINARY_DIR}/install-files)

# The home page is the About box's web link, so the two never disagree.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/widgets/CAboutDlg.h KANDRIX_HOMEPAGE REGEX "kWebAddress = \"[^\"]+\"")
string(REGEX REPLACE ".*kWebAddress = \"([^\"]+)\".*" "\\1" KANDRIX_HOMEPAGE "${KANDRIX_HOMEPAGE}")
if(NOT KANDRIX_HOMEPAGE MATCHES "^https?://")
    message(FATAL_ERROR "No web address found in src/widgets/CAboutDlg.h for the package's home page")
endif()

install(TARGETS kandrix mg_tool ar_tool RUNTIME DESTINATION ${KANDRIX_INSTALL_PROGRAM_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/src/res/help.html ${CMAKE_SOURCE_DIR}/src/res/Vista.cjstyles
              ${CMAKE_SOURCE_DIR}/src/res/NormalBlack2.ini
        DESTINATION ${KANDRIX_INSTALL_PROGRAM_DIR})
file(CONFIGURE OUTPUT ${KANDRIX_INSTALL_STAGE}/installed @ONLY CONTENT
     "KANDRIX was installed into this folder: each user's settings are kept in
$XDG_CONFIG_HOME/kandrix/Option.dat (by default ~/.config/kandrix/Option.dat).
")
install(FILES ${KANDRIX_INSTALL_STAGE}/installed DESTINATION ${KANDRIX_INSTALL_PROGRAM_DIR})

file(RELATIVE_PATH KANDRIX_LAUNCHER_TARGET ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBEXECDIR}/kandrix/kandrix)
file(CREATE_LINK ${KANDRIX_LAUNCHER_TARGET} ${KANDRIX_INSTALL_STAGE}/kandrix SYMBOLIC)
install(FILES ${KANDRIX_INSTALL_STAGE}/kandrix DESTINATION ${CMAKE_INSTALL_BINDIR})

# The desktop finds the program on PATH and the icon in its theme.
set(KANDRIX_DESKTOP_EXEC kandrix)
set(KANDRIX_DESKTOP_ICON ${KANDRIX_APP_ID})
configure_file(${CMAKE_SOURCE_DIR}/src/res/kandrix.desktop.in ${KANDRIX_INSTALL_STAGE}/${KANDRIX_APP_ID}.desktop @ONLY)
install(FILES ${KANDRIX_INSTALL_STAGE}/${KANDRIX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/src/res/kandrix.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${KANDRIX_APP_ID}.svg)

set(KANDRIX_METAINFO_IN ${CMAKE_SOURCE_DIR}/src/res/${KANDRIX_APP_ID}.metainfo.xml.in)
file(READ ${KANDRIX_METAINFO_IN} KANDRIX_METAINFO)
if(NOT KANDRIX_METAINFO MATCHES "<release version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "${KANDRIX_METAINFO_IN} lists no release ${PROJECT_VERSION}: add it with its date")
endif()
configure_file(${KANDRIX_METAINFO_IN} ${KANDRIX_INSTALL_STAGE}/${KANDRIX_APP_ID}.metainfo.xml @ONLY)
install(FILES ${KANDRIX_INSTALL_STAGE}/${KANDRIX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/COPYING ${CMAKE_SOURCE_DIR}/cmake/debian/copyright
        DESTINATION ${KANDRIX_INSTALL_DOC_DIR})
