# What `cmake --install` puts in place and how `cpack` turns it into a Debian package.
# Included from the top-level CMakeLists.txt after the targets are defined.
include(GNUInstallDirs)

set(POMVEX_APPSTREAM_ID io.github.pomvex.Pomvex)
set(POMVEX_PACKAGING_DIR ${CMAKE_CURRENT_SOURCE_DIR}/packaging)

# Whatever the installer's umask, directories in the package are rwxr-xr-x as Debian wants.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS pomvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Desktop integration: the menu entry, the software-centre description and the icon in the sizes
# icon themes look up.
install(FILES src/resources/pomvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${POMVEX_PACKAGING_DIR}/${POMVEX_APPSTREAM_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128 256)
  install(FILES src/resources/icons/pomvex-${size}.png RENAME pomvex.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES src/resources/icons/pomvex.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages and the changelog are installed gzipped with -9n (no name, no time stamp), so the
# package is the same byte for byte whenever it is built. They are made with the program, so that
# building only the `pomvex` target is enough for `cmake --install`.
set(POMVEX_GZIPPED)
function(pomvex_gzip source output)
  add_custom_command(OUTPUT ${output}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${output}
    COMMAND gzip -9nf ${output}
    DEPENDS ${source} VERBATIM)
  set(POMVEX_GZIPPED ${POMVEX_GZIPPED} ${output}.gz PARENT_SCOPE)
endfunction()
set(doc_out ${CMAKE_CURRENT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${doc_out}/man1 ${doc_out}/ja/man1)
pomvex_gzip(${POMVEX_PACKAGING_DIR}/man/man1/pomvex.1 ${doc_out}/man1/pomvex.1)
pomvex_gzip(${POMVEX_PACKAGING_DIR}/man/ja/man1/pomvex.1 ${doc_out}/ja/man1/pomvex.1)
pomvex_gzip(${POMVEX_PACKAGING_DIR}/changelog ${doc_out}/changelog)
add_custom_target(pomvex_docs DEPENDS ${POMVEX_GZIPPED})
add_dependencies(pomvex pomvex_docs)

install(FILES ${doc_out}/man1/pomvex.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${doc_out}/ja/man1/pomvex.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)
# The licence in Debian's machine-readable form (it holds the text of LICENSE).
install(FILES ${POMVEX_PACKAGING_DIR}/copyright ${doc_out}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pomvex)

# `cpack` in the build folder makes a Debian package that depends on the runtime packages.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pomvex)
set(CPACK_PACKAGE_VENDOR "Pomvex developers")
set(CPACK_PACKAGE_CONTACT "Pomvex developers <maintainers@pomvex.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch downloader with a Japanese interface")
# One line per line of the extended description; each stays well under 80 characters.
file(READ ${POMVEX_PACKAGING_DIR}/description CPACK_PACKAGE_DESCRIPTION)
string(STRIP "${CPACK_PACKAGE_DESCRIPTION}" CPACK_PACKAGE_DESCRIPTION)
set(CPACK_PACKAGE_INSTALL_DIRECTORY pomvex)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# md5sums and the other control files 0644, as dpkg-deb itself writes them.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Not found by the library scan: the SVG icon loader (a plugin), Qt's own Japanese texts for the
# standard dialogs, a Japanese font and the CA certificates the HTTPS checks use.
set(POMVEX_DEB_EXTRA_DEPENDS
  "libqt6svg6, qt6-translations-l10n, fonts-ipafont-gothic | fonts-noto-cjk, ca-certificates")
# Japanese text is typed through an input method; these are its bridges into Qt 6 programs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fcitx5-frontend-qt6 | ibus")
# Sets out to TRUE when the target or a target of this project that it links names Qt6::DBus.
function(pomvex_links_qt_dbus target out)
  set(${out} FALSE PARENT_SCOPE)
  get_target_property(libs ${target} LINK_LIBRARIES)
  foreach(lib IN LISTS libs)
    if(lib STREQUAL "Qt6::DBus" OR lib STREQUAL "Qt::DBus")
      set(${out} TRUE PARENT_SCOPE)
      return()
    endif()
    if(TARGET ${lib})
      get_target_property(imported ${lib} IMPORTED)
      if(NOT imported)
        pomvex_links_qt_dbus(${lib} found)
        if(found)
          set(${out} TRUE PARENT_SCOPE)
          return()
        endif()
      endif()
    endif()
  endforeach()
endfunction()
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
  # The scan finds libcurl and the Qt libraries the program links, with their versions. Qt's
  # D-Bus library is named only when the scan cannot see it.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${POMVEX_DEB_EXTRA_DEPENDS}")
  pomvex_links_qt_dbus(pomvex links_dbus)
  if(NOT links_dbus)
    string(PREPEND CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6dbus6, ")
  endif()
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6, libqt6gui6, libqt6widgets6, libqt6dbus6, libcurl4, ${POMVEX_DEB_EXTRA_DEPENDS}")
endif()
include(CPack)
