# Installation layout and the Debian package. The executable's own rule is in src/CMakeLists.txt.
include(GNUInstallDirs)

# The layout files let the scheduling application (or an administrator with sqlite3) create stores the way the
# program expects them.
file(GLOB REMINDER_LAYOUT_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/layout/*.sql)
install(FILES ${REMINDER_LAYOUT_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/reminder-popup/layout)

# Debian compresses manual pages with gzip -9n: -n leaves out the name and time stamp, so the package is the
# same from one build to the next.
find_program(REMINDER_GZIP gzip REQUIRED)
set(REMINDER_MAN_SOURCE ${PROJECT_SOURCE_DIR}/man/reminder-popup.1)
set(REMINDER_MAN_PAGE ${PROJECT_BINARY_DIR}/man/reminder-popup.1.gz)
add_custom_command(OUTPUT ${REMINDER_MAN_PAGE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${REMINDER_GZIP} -9n -c ${REMINDER_MAN_SOURCE} > ${REMINDER_MAN_PAGE}
    DEPENDS ${REMINDER_MAN_SOURCE}
    COMMENT "Compressing the manual page"
    VERBATIM)
add_custom_target(reminder-man-page ALL DEPENDS ${REMINDER_MAN_PAGE})
install(FILES ${REMINDER_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(REMINDER_PACKAGE_MAINTAINER "reminder-popup maintainers <reminder-popup@localhost>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME reminder-popup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reminder window for the appointments of a scheduling application")
set(CPACK_PACKAGE_DESCRIPTION
    "A small desktop window, started by a scheduling application for each appointment that falls due.\n"
    "It shows the client, the action, the note and the due time (red and SCADUTO when overdue), beeps and\n"
    "plays the configured sound, and writes the operator's choice (postpone by minutes, hours or days, or\n"
    "stop reminding) back into the application's SQLite tables. Italian user interface.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${REMINDER_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the libraries the executable and the sound module link to (Qt, Qt Multimedia, SQLite,
# fontconfig, C++). It cannot see what is only loaded at run time: the fonts that keep the window's proportions.
# The X11 platform plugin ships in libqt6gui6, which the executable already needs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
# Attached documents are opened through the desktop's associated program, which Qt reaches with xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# The packages are built under the build folder, never among the sources.
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
include(CPack)
