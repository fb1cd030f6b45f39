# The application icon: compiled into the program (the window's icon) and
# installed into the hicolor theme for the desktop's menus.
set(QUARRELBY_ICON_SIZES 32 48 128 256)
set(QUARRELBY_ICON_FILES)
foreach(size ${QUARRELBY_ICON_SIZES})
  list(APPEND QUARRELBY_ICON_FILES ${CMAKE_SOURCE_DIR}/data/icons/hicolor/${size}x${size}/apps/quarrelby.png)
endforeach()
qt_add_resources(quarrelby_core quarrelby_icons
  PREFIX /icons
  BASE ${CMAKE_SOURCE_DIR}/data/icons
  FILES ${QUARRELBY_ICON_FILES})

foreach(size ${QUARRELBY_ICON_SIZES})
  install(FILES ${CMAKE_SOURCE_DIR}/data/icons/hicolor/${size}x${size}/apps/quarrelby.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/data/quarrelby.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The program finds its cursor and skin beside itself, so it stays in its own
# folder; a relative link puts it on PATH. Qt resolves the link to the real
# folder (/proc/self/exe).
file(RELATIVE_PATH QUARRELBY_LINK_TARGET
  ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBEXECDIR}/quarrelby/quarrelby)
install(CODE "
  set(link \"\$ENV{DESTDIR}${CMAKE_INSTALL_FULL_BINDIR}/quarrelby\")
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}${CMAKE_INSTALL_FULL_BINDIR}\")
  file(REMOVE \"\${link}\")
  file(CREATE_LINK \"${QUARRELBY_LINK_TARGET}\" \"\${link}\" SYMBOLIC)
  message(STATUS \"Installing: \${link} -> ${QUARRELBY_LINK_TARGET}\")
")
