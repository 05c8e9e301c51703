# The Debian package of the install rules (cmake/install.cmake), made by CPack:
# scripts/package configures a Release build with this and runs cpack. Its dependencies
# come from dpkg-shlibdeps; its documentation is what Debian asks of every package.
set(NORVANE_MAINTAINER "Norvane maintainers <maintainers@users.noreply.c-seed-6fda9d40.example>"
    CACHE STRING "The package's Maintainer field")

set(NORVANE_DOC_OUT ${CMAKE_BINARY_DIR}/dist/doc)
file(MAKE_DIRECTORY ${NORVANE_DOC_OUT})
configure_file(dist/debian/changelog.in ${NORVANE_DOC_OUT}/changelog @ONLY)
execute_process(COMMAND gzip -9n -c ${NORVANE_DOC_OUT}/changelog
                OUTPUT_FILE ${NORVANE_DOC_OUT}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES dist/debian/copyright ${NORVANE_DOC_OUT}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/norvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${NORVANE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personal feed gateway you read in your browser")
set(CPACK_PACKAGE_DESCRIPTION
"Norvane is a small HTTP server on your own machine (port 4565) that you use
through an ordinary browser. It fetches RSS, Atom and JSON feeds with
conditional requests, keeps a rolling log of every feed's items in local XML
files, collects feeds into OPML groups, gathers keyword scrapbooks and renders
every page through XSLT styles you can change.

It runs in the desktop's notification area, or headless as a systemd user
service. Each user's data lives in ~/.local/share/norvane.")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libcurl is loaded when the first feed is fetched, not linked, so dpkg-shlibdeps cannot
# see it: named here (CPack adds what dpkg-shlibdeps finds).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4 (>= ${CURL_VERSION})")
# Pages open through xdg-open; without it the program still runs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed with DESTDIR, so the paths written into the desktop entry and the user
# unit are the installed ones, not the staging folder's.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
