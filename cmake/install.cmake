# Install rules and the Debian package (`make package`). The program tells its installed copy by
# the bin folder it is built for, so the prefix defaults to /usr, where the package puts it.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Install prefix" FORCE)
endif()
include(GNUInstallDirs)
# Named after the package, as Debian wants it (GNUInstallDirs would use the project's name).
set(QB_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillbrook)

set(QB_DESKTOP_ID org.quillbrook.Quillbrook)
set(QB_ICON_SIZES 16 22 24 32 48 64 128 256)

# The help command looks for 说明.pdf beside the program first, then here.
file(RELATIVE_PATH qb_docdir_from_bindir ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${QB_DOCDIR})
target_compile_definitions(quillbrook PRIVATE
  QB_INSTALL_FULL_BINDIR="${CMAKE_INSTALL_FULL_BINDIR}"
  QB_DOCDIR_FROM_BINDIR="${qb_docdir_from_bindir}")

install(TARGETS quillbrook RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QB_HELP_PDF} DESTINATION ${QB_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/res/${QB_DESKTOP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/res/${QB_DESKTOP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/res/quillbrook.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${QB_DESKTOP_ID}.svg)
# Drawn from the SVG by scripts/make-icons.sh.
foreach(size IN LISTS QB_ICON_SIZES)
  install(FILES ${CMAKE_SOURCE_DIR}/res/icons/quillbrook-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${QB_DESKTOP_ID}.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillbrook)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quillbrook)
set(CPACK_PACKAGE_CONTACT "Quillbrook maintainers <maintainers@quillbrook.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "document folders with scheduled reminders (Chinese interface)")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quillbrook lists a tree of document folders two levels deep, with a description\n"
    "and a reminder schedule per folder. While it runs, a folder whose reminder falls\n"
    "due is opened in the file manager and the window flashes. Reminders missed while\n"
    "it was closed fire once at its next start.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
# The Qt libraries come from dpkg-shlibdeps; the X11 platform plugin is a package of its own,
# folders and documents are opened with xdg-open, and Qt's own buttons and folder picker take their
# Chinese texts from Qt's translations.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei")
include(CPack)
