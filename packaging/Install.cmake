# Install rules: `cmake --install BUILD [--prefix PREFIX]`, with DESTDIR honoured (`make install`
# wraps it). The program goes to bin/, the service units to lib/systemd/system/ (their
# ExecStart names the program where it is installed), the example settings to
# share/doc/kavelin/ and the manual page, made from --help, to share/man/man1/.
include(GNUInstallDirs)

install(TARGETS kavelin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The units name /usr/bin/kavelin; the prefix is known only when installing (--prefix).
install(CODE "set(KAVELIN_UNITS_FROM \"${CMAKE_SOURCE_DIR}/packaging\")
set(KAVELIN_BINDIR \"${CMAKE_INSTALL_BINDIR}\")")
install(SCRIPT ${CMAKE_SOURCE_DIR}/packaging/InstallUnits.cmake)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/kavelin.toml.example
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# help2man turns the --help and --version texts into the manual page.
find_program(HELP2MAN help2man)
if(HELP2MAN)
    set(KAVELIN_MAN_PAGE ${CMAKE_BINARY_DIR}/kavelin.1)
    add_custom_command(
        OUTPUT ${KAVELIN_MAN_PAGE}
        COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section 1
                --name "broadcast graphics renderer server"
                --include ${CMAKE_SOURCE_DIR}/packaging/kavelin.h2m
                --output ${KAVELIN_MAN_PAGE} $<TARGET_FILE:kavelin>
        DEPENDS kavelin ${CMAKE_SOURCE_DIR}/packaging/kavelin.h2m
        COMMENT "Making the manual page from kavelin --help"
        VERBATIM)
    add_custom_target(kavelin_man_page ALL DEPENDS ${KAVELIN_MAN_PAGE})
    install(FILES ${KAVELIN_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(STATUS "help2man not found: no manual page (scripts/install-deps installs it)")
endif()
