# Install layout (cmake --install, make install PREFIX=…, the Debian package): programs in bin/,
# data in share/rowcaster (the programs find it from their own location), the desktop entry and
# icons, the man pages, and the licences of the data in share/doc/rowcaster.
include(GNUInstallDirs)

install(TARGETS rowcaster rowcaster-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/pinyin.dat ${CMAKE_BINARY_DIR}/cbk.db DESTINATION ${CMAKE_INSTALL_DATADIR}/rowcaster)
install(FILES ${CMAKE_BINARY_DIR}/translations/rowcaster_en.qm DESTINATION ${CMAKE_INSTALL_DATADIR}/rowcaster/translations)
install(FILES ${PROJECT_SOURCE_DIR}/data/help/guide.html DESTINATION ${CMAKE_INSTALL_DATADIR}/rowcaster/help)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/rowcaster.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/icons/rowcaster.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/icons/rowcaster-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME rowcaster.png)
endforeach()

# Man pages carry the version and are compressed, as Debian wants them.
set(man_pages)
foreach(page rowcaster rowcaster-cli)
  set(VERSION ${PROJECT_VERSION})
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    COMMAND gzip -9 -n -f -k ${CMAKE_BINARY_DIR}/man/${page}.1
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1)
  list(APPEND man_pages ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(rowcaster_man ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package's documentation: the copyright file, the licences of the data, a changelog.
set(doc ${CMAKE_INSTALL_DATADIR}/doc/rowcaster)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/copyright DESTINATION ${doc})
install(FILES ${PROJECT_SOURCE_DIR}/data/pinyin/LICENSE DESTINATION ${doc} RENAME pinyin-data.LICENSE)
install(FILES ${PROJECT_SOURCE_DIR}/data/isbn/LICENSE DESTINATION ${doc} RENAME isbn-ranges.LICENSE)
install(FILES ${PROJECT_SOURCE_DIR}/data/publishers/README.md DESTINATION ${doc} RENAME publishers.README.md)
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${CMAKE_BINARY_DIR}/changelog
  "rowcaster (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
  "  * Release ${PROJECT_VERSION}: recommended rules, whole durable output, install and package.\n\n"
  " -- Rowcaster developers <rowcaster@example.org>  ${changelog_date}\n")
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND gzip -9 -n -f -k ${CMAKE_BINARY_DIR}/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/changelog)
add_custom_target(rowcaster_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${doc})

# The Debian package (make package): dependencies from the libraries the programs link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rowcaster)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Rowcaster developers <rowcaster@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tables of Chinese book data to CNMARC records")
# The synopsis comes from the summary; this is the extended description.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Rowcaster turns a cataloguer's table of Chinese book data (.xls, .mdb, .dbf)\n"
  "into CNMARC bibliographic records in an ISO 2709 file that library systems\n"
  "import, enriched with pinyin, persons with their roles, the publisher's\n"
  "region code, dates and a series link. A window and a command line.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
include(CPack)
