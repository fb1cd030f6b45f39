# The application icon: compiled into the program (the window's icon) and
# installed into the hicolor theme for the desktop's menus.
set(QUARRELBY_ICON_SIZES 32 48 128 256)
set(QUARRELBY_ICON_FILES)
foreach(size ${QUARRELBY_ICON_SIZES})
  list(APPEND QUARRELBY_ICON_FILES ${CMAKE_SOURCE_DIR}/data/icons/hicolor/${size}x${size}/apps/quarrelby.png)
endforeach()
qt_add_resources(quarrelby_app quarrelby_icons
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
# folder (/proc/self/exe). The prefix is read at install time, so that
# "cmake --install --prefix" and DESTDIR are honoured.
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_LIBEXECDIR}")
  set(QUARRELBY_LINK_TARGET ${CMAKE_INSTALL_FULL_LIBEXECDIR}/quarrelby/quarrelby)
else()
  file(RELATIVE_PATH QUARRELBY_LINK_TARGET
    /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${CMAKE_INSTALL_LIBEXECDIR}/quarrelby/quarrelby)
endif()
install(CODE "
  if(IS_ABSOLUTE \"${CMAKE_INSTALL_BINDIR}\")
    set(bindir \"\$ENV{DESTDIR}${CMAKE_INSTALL_BINDIR}\")
  else()
    set(bindir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  endif()
  file(MAKE_DIRECTORY \"\${bindir}\")
  file(REMOVE \"\${bindir}/quarrelby\")
  file(CREATE_LINK \"${QUARRELBY_LINK_TARGET}\" \"\${bindir}/quarrelby\" SYMBOLIC)
  message(STATUS \"Installing: \${bindir}/quarrelby -> ${QUARRELBY_LINK_TARGET}\")
")
