# Installing as Linux programs are installed: the executables in bin/, the shipped
# program folder read-only in share/norvane/ (each user's program folder is made from it,
# src/app/home_choice.h), the desktop entry, the icons, the man page, the AppStream
# metainfo and a systemd user unit.
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The AppStream id; the desktop entry, the icon and the autostart entry are "norvane".
set(NORVANE_APP_ID "org.norvane.norvane")

# The installed executable finds the shipped files from its own folder, so a prefix can
# be moved (and the suite installs into a temporary one).
file(RELATIVE_PATH NORVANE_SHARE_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/norvane)
target_compile_definitions(norvane_app PRIVATE NORVANE_SHARE_FROM_BIN="${NORVANE_SHARE_FROM_BIN}")

install(TARGETS norvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# norvane execs the desktop from its own folder, so the two stay side by side.
if(TARGET norvane-desktop)
  install(TARGETS norvane-desktop RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(DIRECTORY data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/norvane
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        PATTERN "*.sh" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                   GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The desktop entry and the user unit name the installed executable by its path, which
# is known only when installing (cmake --install --prefix, a package's staging folder).
set(NORVANE_DIST ${CMAKE_SOURCE_DIR}/dist)
install(CODE "
  set(NORVANE_EXEC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/norvane\")
  foreach(pair \"norvane.desktop.in;${CMAKE_INSTALL_DATADIR}/applications/norvane.desktop\"
               \"norvane.service.in;lib/systemd/user/norvane.service\")
    list(GET pair 0 in)
    list(GET pair 1 out)
    set(to \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${out}\")
    message(STATUS \"Installing: \${to}\")
    configure_file(\"${NORVANE_DIST}/\${in}\" \"\${to}\" @ONLY)
    file(CHMOD \"\${to}\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${CMAKE_INSTALL_PREFIX}/\${out}\")
  endforeach()
")

install(FILES dist/icons/norvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES dist/icons/${size}/norvane.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# The man page, compressed as Debian wants it (gzip -9n: the same bytes every time);
# norvane-desktop, which norvane starts, shares it.
set(NORVANE_DIST_OUT ${CMAKE_BINARY_DIR}/dist)
file(MAKE_DIRECTORY ${NORVANE_DIST_OUT})
configure_file(dist/norvane.1.in ${NORVANE_DIST_OUT}/norvane.1 @ONLY)
execute_process(COMMAND gzip -9n -c ${NORVANE_DIST_OUT}/norvane.1
                OUTPUT_FILE ${NORVANE_DIST_OUT}/norvane.1.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${NORVANE_DIST_OUT}/norvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET norvane-desktop)
  file(CREATE_LINK norvane.1.gz ${NORVANE_DIST_OUT}/norvane-desktop.1.gz SYMBOLIC)
  install(FILES ${NORVANE_DIST_OUT}/norvane-desktop.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

configure_file(dist/norvane.metainfo.xml.in ${NORVANE_DIST_OUT}/${NORVANE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${NORVANE_DIST_OUT}/${NORVANE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
