# Installation of everything a machine needs, and the Debian package made of it
# (tools/package-deb.sh configures with the /usr prefix and runs cpack -G DEB).

install(FILES data/j.tc data/k.tc DESTINATION ${CMAKE_INSTALL_DATADIR}/tarvane2020)
# Debian keeps a package's documents under its own (lower-case) name.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarvane2020)
# A site broker bridged to a central one, for a plant of many rigs.
install(FILES packaging/mosquitto-bridge.conf
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarvane2020/examples)

# Desktop integration: a menu entry that starts the program through a launcher
# giving it a working directory of its own, and the icon at two sizes.
install(PROGRAMS packaging/tarvane2020-launch DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES packaging/tarvane2020.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/tarvane2020.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES src/ui/main/resources/icon-256.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME tarvane2020.png)

# The service's unit goes where systemd reads units for /usr; under any other
# prefix it lies beside the data files, to be linked in with systemctl link.
set(TARV_SERVICE_BIN "${CMAKE_INSTALL_FULL_BINDIR}/tarvane2020d")
set(TARV_README "${CMAKE_INSTALL_FULL_DATAROOTDIR}/doc/tarvane2020/README.md")
configure_file(packaging/tarvane2020d.service.in tarvane2020d.service @ONLY)
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(TARV_UNIT_DIR lib/systemd/system)
else()
    set(TARV_UNIT_DIR ${CMAKE_INSTALL_DATADIR}/tarvane2020)
endif()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tarvane2020d.service DESTINATION ${TARV_UNIT_DIR})
# A drop-in for the unit that puts the web page on the network: inactive until copied
# under /etc (its credentials must exist first).
install(FILES packaging/tarvane2020d-web.conf DESTINATION ${CMAKE_INSTALL_DATADIR}/tarvane2020)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvane2020)
set(CPACK_PACKAGE_VENDOR "Tarvane Instrumentation Works")
set(CPACK_PACKAGE_CONTACT "Tarvane 2020 maintainers <support@tarvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Front end and unattended logger for an eight-channel data-acquisition card")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "The desktop program shows the card's live values, line states and a strip chart, "
    "switches its outputs, logs chosen channels and calibrates them; tarvane2020d logs "
    "without a screen as a systemd service; tarvsim stands in for the card.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the shared libraries do not say: the faces the windows are laid out with and
# Qt's platform plugins, which the program loads at run time.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, qt6-qpa-plugins")
include(CPack)
