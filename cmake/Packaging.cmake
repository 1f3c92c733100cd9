# Installation layout and the Debian package. The executable's own rule is in src/CMakeLists.txt.
include(GNUInstallDirs)

# The layout files let the scheduling application (or an administrator with sqlite3) create stores the way the
# program expects them.
file(GLOB REMINDER_LAYOUT_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/layout/*.sql)
install(FILES ${REMINDER_LAYOUT_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/reminder-popup/layout)

set(REMINDER_DEBIAN_MAINTAINER "the reminder-popup authors <reminder-popup@example.org>"
    CACHE STRING "Maintainer field of the Debian package and signature of its changelog")

# Debian compresses manual pages and changelogs with gzip -9n: -n leaves out the name and time stamp, so the
# package is the same from one build to the next.
find_program(REMINDER_GZIP gzip REQUIRED)
function(reminder_gzip_file source compressed)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${REMINDER_GZIP} -9n -c ${source} > ${compressed}
        DEPENDS ${source}
        COMMENT "Compressing ${source}"
        VERBATIM)
endfunction()

# The manual page and the changelog carry the project version, configured from their templates.
set(REMINDER_DOC_DIR ${PROJECT_BINARY_DIR}/doc)
# The build tree's copy names the layout under the configured prefix; the installed one is made at install time.
string(REPLACE "-" "\\-" REMINDER_LAYOUT_DIR "${CMAKE_INSTALL_FULL_DATADIR}/reminder-popup/layout")
configure_file(${PROJECT_SOURCE_DIR}/man/reminder-popup.1.in ${REMINDER_DOC_DIR}/reminder-popup.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${REMINDER_DOC_DIR}/changelog @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/man/reminder-agenda.1.in ${REMINDER_DOC_DIR}/reminder-agenda.1 @ONLY)
reminder_gzip_file(${REMINDER_DOC_DIR}/reminder-popup.1 ${REMINDER_DOC_DIR}/reminder-popup.1.gz)
reminder_gzip_file(${REMINDER_DOC_DIR}/reminder-agenda.1 ${REMINDER_DOC_DIR}/reminder-agenda.1.gz)
reminder_gzip_file(${REMINDER_DOC_DIR}/changelog ${REMINDER_DOC_DIR}/changelog.gz)
add_custom_target(reminder-docs ALL DEPENDS ${REMINDER_DOC_DIR}/reminder-popup.1.gz ${REMINDER_DOC_DIR}/reminder-agenda.1.gz
    ${REMINDER_DOC_DIR}/changelog.gz)
install(FILES ${REMINDER_DOC_DIR}/reminder-agenda.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
configure_file(${PROJECT_SOURCE_DIR}/cmake/install-man-page.cmake.in ${REMINDER_DOC_DIR}/install-man-page.cmake @ONLY)
install(SCRIPT ${REMINDER_DOC_DIR}/install-man-page.cmake)

# The agenda watcher runs as the operator's systemd user service, or from the desktop's autostart where there is
# no systemd user session.
install(FILES ${PROJECT_SOURCE_DIR}/data/service/reminder-agenda@.service DESTINATION lib/systemd/user)
# The autostart entry belongs in /etc whatever the prefix, where the desktops look; Debian keeps it as a conffile.
install(FILES ${PROJECT_SOURCE_DIR}/data/service/reminder-agenda.desktop DESTINATION /etc/xdg/autostart)
file(WRITE ${REMINDER_DOC_DIR}/conffiles "/etc/xdg/autostart/reminder-agenda.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${REMINDER_DOC_DIR}/conffiles)

# The copyright file in Debian's machine-readable format, with the licence text taken from LICENSE so that it is
# written once: the paragraphs after the copyright line, indented by one blank, with " ." for an empty line.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE REMINDER_LICENSE)
string(FIND "${REMINDER_LICENSE}" "Permission is hereby granted" REMINDER_LICENSE_START)
string(SUBSTRING "${REMINDER_LICENSE}" ${REMINDER_LICENSE_START} -1 REMINDER_LICENSE)
string(STRIP "${REMINDER_LICENSE}" REMINDER_LICENSE)
string(REPLACE "\n\n" "\n.\n" REMINDER_LICENSE "${REMINDER_LICENSE}")
string(REPLACE "\n" "\n " REMINDER_LICENSE " ${REMINDER_LICENSE}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in ${REMINDER_DOC_DIR}/copyright @ONLY)
install(FILES ${REMINDER_DOC_DIR}/copyright ${REMINDER_DOC_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR})

# dlopen()ed modules need no libc symbol of their own, so the default --as-needed would drop libc from the sound
# module; Debian wants every shared object linked against it all the same.
target_link_options(reminder-popup-sound PRIVATE LINKER:--push-state,--no-as-needed,-lc,--pop-state)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME reminder-popup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reminder window for the appointments of a scheduling application")
# One line of the extended description per line here, each within the 80 columns Debian allows.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A small desktop window, started by a scheduling application for each\n"
    "appointment that falls due. It shows the client, the action, the note and\n"
    "the due time (red and SCADUTO when overdue), beeps and plays the configured\n"
    "sound, and writes the operator's choice (postpone by minutes, hours or days,\n"
    "or stop reminding) back into the application's SQLite tables. Italian user\n"
    "interface. The agenda watcher, a user service, starts the window for every\n"
    "reminder that falls due.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${REMINDER_DEBIAN_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The fonts that keep the window's proportions are only loaded at run time, so no library names them. The X11
# platform plugin the window runs on, on X11 and through Xwayland (platforms/libqxcb.so), ships in libqt6gui6,
# which dpkg-shlibdeps declares for the executable itself.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
# The library dependencies (Qt, Qt Multimedia, SQLite, fontconfig, C++) come from dpkg-shlibdeps, run by
# cmake/DebianLibraryDepends.cmake rather than by CPack's own SHLIBDEPS option: that option also makes CPack
# add ldconfig calls to postinst and postrm for any shared object under /usr/lib, and the sound module is a
# private one that ldconfig has no business with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianLibraryDepends.cmake)
# Attached documents are opened through the desktop's associated program, which Qt reaches with xdg-open;
# the office store's client library is loaded at run time, only when the settings name a server, so
# dpkg-shlibdeps cannot see it; the Wayland platform plugin is what the window runs on in a Wayland session
# without Xwayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, libpq5, qt6-wayland")
# The packages are built under the build folder, never among the sources.
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
include(CPack)
