# What a user installs beside the program (manual page, AppStream metadata,
# bash completion, the sample skin, the Debian copyright and changelog), and
# the Debian package made from all of it:
#   cmake --build build --target package   ->  quarrelby_<version>_<arch>.deb
# scripts/package.sh builds it from a clean Release build and checks it.

set(QUARRELBY_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/quarrelby)
set(QUARRELBY_PACKAGE_MAINTAINER "Quarrelby developers <packages@quarrelby.org>"
  CACHE STRING "Maintainer field of the Debian package")

# Debian wants manual pages and changelogs compressed, and reproducibly so
# (-n leaves the name and time out of the gzip header).
find_program(QUARRELBY_GZIP gzip REQUIRED)
set(QUARRELBY_COMPRESSED)
foreach(pair "quarrelby.1|quarrelby.1.gz" "debian/changelog|changelog.gz")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 target)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${target}
    COMMAND ${QUARRELBY_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/data/${source} > ${CMAKE_BINARY_DIR}/${target}
    DEPENDS ${CMAKE_SOURCE_DIR}/data/${source}
    VERBATIM)
  list(APPEND QUARRELBY_COMPRESSED ${CMAKE_BINARY_DIR}/${target})
endforeach()
add_custom_target(quarrelby_compressed_docs ALL DEPENDS ${QUARRELBY_COMPRESSED})

install(FILES ${CMAKE_BINARY_DIR}/quarrelby.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/data/org.quarrelby.Quarrelby.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/data/debian/copyright ${CMAKE_BINARY_DIR}/changelog.gz
  DESTINATION ${QUARRELBY_DOCDIR})
# Only an example: the program reads a skin from its own folder, where the
# user copies it (see README.md).
install(DIRECTORY ${CMAKE_SOURCE_DIR}/samples/skin/ DESTINATION ${QUARRELBY_DOCDIR}/examples/skin)

# bash-completion's folder, kept under the install prefix: its pkg-config
# file gives /usr/share/..., which "--prefix ~/.local" must not write to.
set(QUARRELBY_COMPLETIONSDIR ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
pkg_get_variable(QUARRELBY_BC_PREFIX bash-completion prefix)
pkg_get_variable(QUARRELBY_BC_COMPLETIONSDIR bash-completion completionsdir)
if(QUARRELBY_BC_PREFIX AND QUARRELBY_BC_COMPLETIONSDIR MATCHES "^${QUARRELBY_BC_PREFIX}/(.+)$")
  set(QUARRELBY_COMPLETIONSDIR ${CMAKE_MATCH_1})
endif()
install(FILES ${CMAKE_SOURCE_DIR}/data/completion/quarrelby DESTINATION ${QUARRELBY_COMPLETIONSDIR})
# The folders Debian's zsh and fish read completions of packages from.
install(FILES ${CMAKE_SOURCE_DIR}/data/completion/_quarrelby
  DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${CMAKE_SOURCE_DIR}/data/completion/quarrelby.fish
  DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarrelby)
set(CPACK_PACKAGE_VENDOR "Quarrelby developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "export address books as text, CSV or a workbook")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUARRELBY_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quarrelby.org/)
# The long description; CPack puts the summary above it.
set(CPACK_PACKAGE_DESCRIPTION "Quarrelby reads every contact of the user's address books into a table of
33 fixed fields (names, birthday, company, e-mail and web addresses, nineteen
kinds of telephone number, postal addresses, notes) and writes the table as
an aligned text file, a comma-delimited file, a new workbook opened in the
spreadsheet program, or to the clipboard.
.
It reads GNOME/Evolution and Thunderbird address books, vCard files and
folders (KDE, vdirsyncer, khard) and Outlook .pst/.ost files, read-only.
The exports also run from the command line, without a display.")
# The libraries come from dpkg-shlibdeps; what the program starts or loads
# by name is listed by hand: the Wayland platform plugin (without it there
# is no window where there is no X server) and xdg-open, which hands a new
# workbook to the spreadsheet program.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-wayland, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
