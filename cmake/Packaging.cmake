# The application as the desktop sees it: the menu entry that also opens files with it, the
# icon, the AppStream metainfo for software centres.

install(FILES packaging/${OSTRAKONIX_APP_ID}.desktop DESTINATION share/applications)
install(FILES packaging/${OSTRAKONIX_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(DIRECTORY ${OSTRAKONIX_ICON_DIR}/ DESTINATION share/icons/hicolor)

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
