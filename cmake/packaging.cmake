# Install rules and the Debian package (CPack, DEB generator).
#
#   cmake --install build-pkg --prefix /usr/local     install without a package
#   cd build-pkg && cpack -G DEB                      velqor-config_<version>_<arch>.deb
#
# Included at the end of the top-level CMakeLists.txt, so velqor-sim exists here when
# libmodbus was found.

include(GNUInstallDirs)

set(VELQOR_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS velqor-config velqorctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET velqor-sim)
    install(TARGETS velqor-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# A stripped install (the package) also loses the compiler's .comment section, as Debian's
# dh_strip does it (lintian: binary-has-unneeded-section).
if(CMAKE_OBJCOPY)
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            file(GLOB programs \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/velqor*\")
            foreach(program IN LISTS programs)
                execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment \"\${program}\")
            endforeach()
        endif()")
endif()

install(FILES ${VELQOR_PACKAGING_DIR}/velqor-config.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VELQOR_PACKAGING_DIR}/velqor-config.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Rendered from the SVG once and kept in the tree, so the build needs no SVG renderer.
install(FILES ${VELQOR_PACKAGING_DIR}/velqor-config.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
# OPTIONAL: checked when installing, so a README added after configuring is picked up.
install(FILES ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR} OPTIONAL)

# Compressed as Debian wants it (gzip -9n: no file name or time stamp inside), at build time.
function(velqor_install_gzipped source destination)
    get_filename_component(name ${source} NAME)
    set(gzipped ${PROJECT_BINARY_DIR}/packaging/${name}.gz)
    add_custom_command(OUTPUT ${gzipped}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
        COMMAND gzip -9n -c ${source} > ${gzipped}
        DEPENDS ${source} VERBATIM)
    add_custom_target(gzip_${name} ALL DEPENDS ${gzipped})
    install(FILES ${gzipped} DESTINATION ${destination})
endfunction()

# The manual page of a program: packaging/<program>.1, or the page built from
# packaging/<program>.1.in; one line per program.
function(velqor_install_man program)
    set(page ${VELQOR_PACKAGING_DIR}/${program}.1)
    if(ARGC GREATER 1)
        set(page ${ARGV1})
    endif()
    velqor_install_gzipped(${page} ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# velqorctl's page states the keys, rates and defaults as --help does: built from its template
# by cli/man_page.cpp (packaging/velqorctl.1 in the build folder; tests/packaging checks it).
set(VELQOR_CTL_PAGE ${PROJECT_BINARY_DIR}/packaging/velqorctl.1)
add_custom_command(OUTPUT ${VELQOR_CTL_PAGE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
    COMMAND velqorctl_man_page ${VELQOR_PACKAGING_DIR}/velqorctl.1.in ${VELQOR_CTL_PAGE}
    DEPENDS velqorctl_man_page ${VELQOR_PACKAGING_DIR}/velqorctl.1.in VERBATIM)

velqor_install_man(velqor-config)
velqor_install_man(velqorctl ${VELQOR_CTL_PAGE})
if(TARGET velqor-sim)
    velqor_install_man(velqor-sim)
endif()

# The changelog in Debian's form, and the licence as a machine-readable copyright file.
velqor_install_gzipped(${VELQOR_PACKAGING_DIR}/changelog ${CMAKE_INSTALL_DOCDIR})
file(READ ${PROJECT_SOURCE_DIR}/LICENSE VELQOR_LICENSE)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
string(REGEX REPLACE "^MIT License\n\n" "" VELQOR_LICENSE "${VELQOR_LICENSE}")
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${VELQOR_LICENSE}")
set(VELQOR_COPYRIGHT "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^Copyright [^\n]*\n\n" "" VELQOR_LICENSE "${VELQOR_LICENSE}")
string(REGEX REPLACE "\n\n" "\n.\n" VELQOR_LICENSE "${VELQOR_LICENSE}")
string(REGEX REPLACE "\n" "\n " VELQOR_LICENSE "${VELQOR_LICENSE}")
string(REGEX REPLACE "\n $" "" VELQOR_LICENSE "${VELQOR_LICENSE}")
configure_file(${VELQOR_PACKAGING_DIR}/copyright.in ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# ---------------------------------------------------------------- the Debian package

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velqor-config)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velqor")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "configuration tool for a Modbus RTU signal-generator module")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A one-window Qt desktop tool, the Modbus RTU master for a signal-generator\n"
    "module on a serial port. It writes the module's current source, voltage\n"
    "source, PWM, pulse train, sine frequency and work mode, reads them back,\n"
    "switches the output and changes the module's slave address. It keeps the\n"
    "last serial port and baud rate in com.txt in the folder it is started from\n"
    "(the home folder when started from the desktop menu).\n"
    "velqorctl does the same from the command line, for scripts, and needs no\n"
    "display: read, write (also from a parameter-set file), output on/off,\n"
    "address, scan (finds modules by address and baud rate), ports (lists the\n"
    "serial ports and links COMn to an adapter) and monitor (reads again and\n"
    "again). It also reaches a module through a serial server over TCP.")
if(TARGET velqor-sim)
    string(APPEND CPACK_PACKAGE_DESCRIPTION
        "\nThe package also holds velqor-sim, a simulator of the module as a Modbus\n"
        "RTU slave.")
endif()

set(VELQOR_PACKAGE_MAINTAINER "Velqor config maintainers <maintainers@velqor.example>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELQOR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)

# The linked libraries come from dpkg-shlibdeps (dpkg-dev) with the versions the binaries
# need. Nothing links the fonts, so they are named by hand: the Ming face draws the Chinese,
# Liberation Serif the Latin letters and digits. The xcb platform plugin ships in
# libqt6gui6 on Debian 12 (qt6-qpa-plugins holds only the VNC and touch plugins).
set(VELQOR_RUNTIME_EXTRAS "fonts-arphic-uming, fonts-liberation2")
find_program(VELQOR_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VELQOR_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${VELQOR_RUNTIME_EXTRAS}")
else()
    message(STATUS "dpkg-shlibdeps not found (package dpkg-dev): the package's Depends are the fixed list")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6, libstdc++6, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6serialport6 (>= 6.4), libqt6network6 (>= 6.4)")
    if(TARGET velqor-sim)
        string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libmodbus5")
    endif()
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${VELQOR_RUNTIME_EXTRAS}")
endif()

# Keeps build folders and the repository out of a source package made by mistake.
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/run/")

include(CPack)
