# The Debian package, built with `cpack -G DEB` in a configured build folder.
# It installs under /usr whatever prefix the build was configured with; its
# dependencies are read from the programs by dpkg-shlibdeps, and Qt's
# translations are named (the window loads Qt's Turkish). LibreOffice
# Calc and xdg-utils are only recommended: without Calc the spreadsheet
# export says so, and without xdg-utils dialling through the desktop's phone
# application fails as a modem that cannot dial does. libsecret (the
# password of the sync account) comes with the computed dependencies; a
# keyring that answers on the session bus is only suggested: without one the
# password is kept in ~/.netrc. sofia-sip (the office's SIP server as a
# line device) comes with the computed dependencies too.

set(_docdir ${CMAKE_INSTALL_DATADIR}/doc/velmora-rehber)
configure_file(copyright.in copyright @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright DESTINATION ${_docdir})
configure_file(changelog.in changelog @ONLY)
velmora_gzip(${CMAKE_CURRENT_BINARY_DIR}/changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${_docdir})
# The program finds LibreOffice's UNO runtime through its run path.
install(FILES lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME velmora-rehber)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora-rehber)
set(CPACK_PACKAGE_VENDOR Velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VELMORA_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "telephone directory with a Turkish interface")
# The long description keeps the line breaks of the control file.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Velmora Telefon Rehberi keeps personal contacts (names, mobile, home and"
    "work numbers, e-mail and postal addresses) in one local SQLite database and"
    "shows them in a form above a list. It searches them, dials their numbers"
    "through a Hayes-compatible modem, and exports the list to XML or into a"
    "LibreOffice Calc spreadsheet. The interface is in Turkish."
    ""
    "The package also holds velmora-rehber-db, the contacts tool: it creates"
    "databases, brings contacts in from vCard and CSV files and takes them out"
    "again, converts the Jet databases of the program's earlier Windows"
    "version, and copies a directory to a PostgreSQL server."
    ""
    "Both keep the directory in step with a CardDAV address book (Nextcloud,"
    "Radicale, a phone's contacts server), both ways.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VELMORA_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs and buttons speak Turkish with Qt's Turkish translation;
# dpkg-shlibdeps adds the libraries to it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libreoffice-calc, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-keyring, slapd")

include(CPack)
