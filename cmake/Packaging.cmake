# Installation in the standard places (cmake --install, GNUInstallDirs) and the
# Debian package built from it (cpack, in the build folder).
include(GNUInstallDirs)

install(TARGETS zandorium-editor zandorium-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(desktop_sources ${CMAKE_CURRENT_SOURCE_DIR}/resources/desktop)
configure_file(${desktop_sources}/app.desktop.in ${ZANDORIUM_APP_ID}.desktop @ONLY)
configure_file(${desktop_sources}/app.metainfo.xml.in ${ZANDORIUM_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${ZANDORIUM_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${ZANDORIUM_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48 64 128 256 512)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/resources/icons/${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${ZANDORIUM_APP_ID}.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zandorium-uploader)
# Where Debian looks for a package's licence.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/resources/package/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zandorium Uploader developers <uploader@zandorium.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor and remote front panel for the Zandorium loop switcher")
set(CPACK_PACKAGE_DESCRIPTION
    "Talks to a Zandorium, a MIDI-controlled guitar effects loop switcher, over
one MIDI input and one output port: mirrors its front panel, edits every
parameter of the current memory and the device settings, selects and writes
memories, and backs its whole memory up to a .mem file and restores it.
Also installs zandorium-sim, a simulated unit on virtual MIDI ports.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries come from what the programs are linked with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The port dialog's title asks for Calibri, which Carlito stands in for; the
# windows are laid out for DejaVu Sans.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-crosextra-carlito")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd2")
include(CPack)
