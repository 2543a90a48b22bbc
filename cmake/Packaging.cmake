# The application as the desktop sees it (the menu entry that also opens files with it, the
# icon, the AppStream metainfo for software centres) and the Debian package that CPack makes
# of the whole install (scripts/package).

install(FILES packaging/${OSTRAKONIX_APP_ID}.desktop DESTINATION share/applications)
install(FILES packaging/${OSTRAKONIX_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(DIRECTORY ${OSTRAKONIX_ICON_DIR}/ DESTINATION share/icons/hicolor)

# What Debian asks of every package: the copyright in its machine-readable form and the
# changelog, compressed without a name or a time so that every build makes the same bytes.
# The manual page is written from the key list (tools/keydoc).
set(changelog "${CMAKE_BINARY_DIR}/changelog.Debian.gz")
add_custom_command(
  OUTPUT "${changelog}"
  COMMAND gzip -9nc "${PROJECT_SOURCE_DIR}/packaging/changelog.Debian" > "${changelog}"
  DEPENDS "${PROJECT_SOURCE_DIR}/packaging/changelog.Debian"
  COMMENT "Compressing the Debian changelog"
)
add_custom_target(debian_changelog ALL DEPENDS "${changelog}")
install(FILES packaging/copyright "${changelog}" DESTINATION share/doc/ostrakonix)

# A local install refreshes the desktop's caches, so that the menu and "Open with" know the
# editor at once. A staged install (DESTDIR set, as for the package) leaves them alone: there
# the package manager refreshes them on the target system.
install(CODE [[
  if("$ENV{DESTDIR}" STREQUAL "")
    find_program(OSTRAKONIX_UPDATE_DESKTOP_DATABASE update-desktop-database)
    if(OSTRAKONIX_UPDATE_DESKTOP_DATABASE)
      message(STATUS "Refreshing the desktop database in ${CMAKE_INSTALL_PREFIX}/share/applications")
      execute_process(COMMAND "${OSTRAKONIX_UPDATE_DESKTOP_DATABASE}" -q "${CMAKE_INSTALL_PREFIX}/share/applications"
                      RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(STATUS "update-desktop-database failed (${status}); the menu may show the editor only later")
      endif()
    endif()
    # Only a folder that is an icon theme of its own has a cache; a failure only costs speed.
    find_program(OSTRAKONIX_UPDATE_ICON_CACHE gtk-update-icon-cache)
    if(OSTRAKONIX_UPDATE_ICON_CACHE AND EXISTS "${CMAKE_INSTALL_PREFIX}/share/icons/hicolor/index.theme")
      execute_process(COMMAND "${OSTRAKONIX_UPDATE_ICON_CACHE}" -q "${CMAKE_INSTALL_PREFIX}/share/icons/hicolor"
                      RESULT_VARIABLE status)
    endif()
  endif()
]])

# The Debian package: ostrakonix_<version>_<arch>.deb in the build folder, the program
# stripped, its Depends worked out by dpkg-shlibdeps from the libraries it links.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrakonix)
set(CPACK_PACKAGE_VENDOR "The Ostrakonix authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hex editor in the style of an old home computer")
set(CPACK_PACKAGE_DESCRIPTION
    "Ostrakonix shows one file as rows of sixteen bytes - position, hexadecimal and
characters - on a fixed 80 x 25 character screen in the manner of an old home
computer, driven by control keys, with German screens and messages. It
overwrites, inserts and deletes bytes as text or in hexadecimal, searches and
replaces byte sequences, goes to a position, and loads, saves and closes files
with its own file browser screen.")
# The package is staged with DESTDIR, so the install step knows not to refresh the caches of
# the machine that builds it.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ostrakonix developers <dev@ostrakonix.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# German file dialogs on the desktop come from Qt's translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
include(CPack)
