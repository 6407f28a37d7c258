# Installation and packages. `cmake --install` puts both programs, quorlix
# and quorlix-probe, in bin/ and their man pages in share/man/man1/; CPack
# makes a Debian package of the Linux build and a zip of the Windows build
# (the two static exes with the README and the licence beside them). scripts/package builds both into dist/.
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS quorlix quorlix-probe RUNTIME DESTINATION .)
  install(FILES README.md LICENSE DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "quorlix-${PROJECT_VERSION}-windows-x86_64")
else()
  install(TARGETS quorlix quorlix-probe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES docs/quorlix.1 docs/quorlix-probe.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The ALSA library and the C and C++ runtimes, at the versions the binary
  # was linked against.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # CPack names the machine it runs on; the arm64 cross build is packaged
  # for the architecture it was built for.
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  endif()
endif()

set(CPACK_PACKAGE_NAME quorlix)
set(CPACK_PACKAGE_VENDOR "The QUORLIX developers")
set(CPACK_PACKAGE_CONTACT "QUORLIX maintainers <maintainers@users.noreply.c-seed-2928170b.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "random bytes from the noise at a sound card's input")
set(CPACK_PACKAGE_DESCRIPTION
    "QUORLIX records a series of captures from the default sound input, keeps one bit of every\n"
    "sample and XOR-combines the captures in two stages into one file of random bytes. Each\n"
    "capture is health-tested so that a muted or dead input is never passed off as random.\n"
    "quorlix-probe measures the input first: its min-entropy per noise bit, by NIST SP 800-90B,\n"
    "and the run shape that turns it into full-entropy output.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
