# Run by `cmake --install`: writes the service units with ExecStart naming the installed
# program (the prefix is known only now), under DESTDIR, and lists them in the manifest. They
# are written in place rather than staged in the build tree, so that installs into different
# places may run at once.
set(unitdir "${CMAKE_INSTALL_PREFIX}/lib/systemd/system")
file(MAKE_DIRECTORY "$ENV{DESTDIR}${unitdir}")
foreach(unit kavelin.service kavelin@.service)
    file(READ "${KAVELIN_UNITS_FROM}/${unit}" text)
    string(REPLACE "ExecStart=/usr/bin/kavelin "
                   "ExecStart=${CMAKE_INSTALL_PREFIX}/${KAVELIN_BINDIR}/kavelin " text "${text}")
    message(STATUS "Installing: $ENV{DESTDIR}${unitdir}/${unit}")
    file(WRITE "$ENV{DESTDIR}${unitdir}/${unit}" "${text}")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${unitdir}/${unit}")
endforeach()
