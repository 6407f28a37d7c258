# Installation and packages. `cmake --install` puts the programs in bin/ and
# the documentation where the platform keeps it; CPack makes a Debian package
# of a Linux build and a zip of the Windows build, and scripts/package builds
# all three into dist/. What is installed is built by the target
# release_files, which `cmake --build` builds with everything else.
#
# The installed programs are stripped copies kept in release/ of the build
# folder, beside their symbols (NAME.debug); each copy names its symbol file
# in a debug link, so a debugger given the copy finds them. The man pages,
# the changelog and the README are installed compressed on Linux, as Debian
# keeps them; the man pages name the version of project(), and the README
# goes only up to the part that is for building from source. Nothing installed depends on the build folder or the time of the
# build (see cmake/reproducible.cmake): scripts/package builds the same
# bytes wherever and whenever it runs.
include(GNUInstallDirs)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(quorlix_release_dir ${PROJECT_BINARY_DIR}/release)
set(quorlix_release_files)

# objcopy writes the time of the copy into a Windows program's header unless
# SOURCE_DATE_EPOCH names one; 0, as the linker leaves it (see
# cmake/reproducible.cmake), keeps the program the same at any time.
set(quorlix_objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})
set(quorlix_programs)
foreach(program quorlix quorlix-probe)
  set(stripped ${quorlix_release_dir}/${program}${CMAKE_EXECUTABLE_SUFFIX})
  set(symbols ${quorlix_release_dir}/${program}.debug)
  add_custom_command(
    OUTPUT ${stripped} ${symbols}
    COMMAND ${quorlix_objcopy} --only-keep-debug $<TARGET_FILE:${program}> ${symbols}
    COMMAND ${quorlix_objcopy} --strip-all --remove-section=.comment
            --add-gnu-debuglink=${symbols} $<TARGET_FILE:${program}> ${stripped}
    DEPENDS ${program}
    COMMENT "Stripping ${program}, its symbols kept in release/${program}.debug"
    VERBATIM)
  list(APPEND quorlix_programs ${stripped})
  list(APPEND quorlix_release_files ${stripped} ${symbols})
endforeach()

# The README as installed: up to the line that opens the part for building
# from source.
set(quorlix_readme ${quorlix_release_dir}/README.md)
add_custom_command(
  OUTPUT ${quorlix_readme}
  COMMAND ${CMAKE_COMMAND} -D SOURCE=${PROJECT_SOURCE_DIR}/README.md -D OUTPUT=${quorlix_readme}
          -P ${PROJECT_SOURCE_DIR}/cmake/installed_readme.cmake
  DEPENDS README.md cmake/installed_readme.cmake
  VERBATIM)
list(APPEND quorlix_release_files ${quorlix_readme})

if(WIN32)
  # libdivsufsort, the mingw-w64 runtime with its threads library, and GCC's
  # own runtime are linked into the programs.
  set(quorlix_notices ${quorlix_release_dir}/THIRD-PARTY-NOTICES.txt)
  set(quorlix_notice_sources
      "libdivsufsort|${QUORLIX_DIVSUFSORT_SOURCE}/COPYING"
      "mingw-w64 runtime and winpthreads|/usr/share/doc/mingw-w64-common/copyright"
      "GCC runtime libraries (libgcc, libstdc++)|/usr/share/doc/gcc-mingw-w64-base/copyright")
  set(quorlix_notice_files)
  foreach(entry IN LISTS quorlix_notice_sources)
    string(REGEX REPLACE "^[^|]*[|]" "" file "${entry}")
    list(APPEND quorlix_notice_files ${file})
  endforeach()
  add_custom_command(
    OUTPUT ${quorlix_notices}
    COMMAND ${CMAKE_COMMAND} -D OUTPUT=${quorlix_notices} "-D NOTICES=${quorlix_notice_sources}"
            -P ${PROJECT_SOURCE_DIR}/cmake/third_party_notices.cmake
    DEPENDS cmake/third_party_notices.cmake ${quorlix_notice_files}
    VERBATIM)
  list(APPEND quorlix_release_files ${quorlix_notices})
  install(PROGRAMS ${quorlix_programs} DESTINATION .)
  install(FILES ${quorlix_readme} LICENSE ${quorlix_notices} DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "quorlix-${PROJECT_VERSION}-windows-x86_64")
else()
  # The changelog's newest entry is the version being built; a new version
  # needs its entry first.
  file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog quorlix_changelog_head LIMIT_COUNT 1)
  if(NOT quorlix_changelog_head MATCHES "^quorlix \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog begins with \"${quorlix_changelog_head}\": "
                        "add an entry for version ${PROJECT_VERSION} at its top")
  endif()

  # gzip -n leaves the name and time of the file out of the compressed one.
  find_program(QUORLIX_GZIP gzip REQUIRED)
  function(quorlix_compressed source name)
    set(copy ${quorlix_release_dir}/compressed/${name})
    add_custom_command(
      OUTPUT ${copy}.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
      COMMAND ${QUORLIX_GZIP} -9nf ${copy}
      DEPENDS ${source}
      VERBATIM)
    set(quorlix_release_files ${quorlix_release_files} ${copy}.gz PARENT_SCOPE)
  endfunction()
  set(quorlix_man_pages)
  foreach(page quorlix quorlix-probe quorlix-assess)
    set(versioned ${quorlix_release_dir}/${page}.1)
    add_custom_command(
      OUTPUT ${versioned}
      COMMAND ${CMAKE_COMMAND} -D SOURCE=${PROJECT_SOURCE_DIR}/docs/${page}.1 -D OUTPUT=${versioned}
              -D VERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/installed_man_page.cmake
      DEPENDS docs/${page}.1 cmake/installed_man_page.cmake
      VERBATIM)
    quorlix_compressed(${versioned} ${page}.1)
    list(APPEND quorlix_man_pages ${quorlix_release_dir}/compressed/${page}.1.gz)
  endforeach()
  quorlix_compressed(${PROJECT_SOURCE_DIR}/packaging/changelog changelog)
  quorlix_compressed(${quorlix_readme} README.md)

  install(PROGRAMS ${quorlix_programs} DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(PROGRAMS scripts/assess DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME quorlix-assess)
  install(FILES ${quorlix_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES packaging/copyright ${quorlix_release_dir}/compressed/changelog.gz
          ${quorlix_release_dir}/compressed/README.md.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The ALSA library and the C and C++ runtimes, at the versions the binary
  # was linked against.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # What quorlix-assess runs; dieharder only for files of 100 MB or more.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ent, rng-tools5, gnuplot-nox")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "dieharder")
  # CPack names the machine it runs on; the arm64 cross build is packaged
  # for the architecture it was built for.
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  endif()
endif()
add_custom_target(release_files ALL DEPENDS ${quorlix_release_files})

set(CPACK_PACKAGE_NAME quorlix)
set(CPACK_PACKAGE_VENDOR "The QUORLIX developers")
set(CPACK_PACKAGE_CONTACT "QUORLIX maintainers <maintainers@users.noreply.c-seed-2928170b.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "random bytes from the noise at a sound card's input")
# Debian shows each line as it is: none may pass 79 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "QUORLIX records a series of captures from the default sound input, keeps\n"
    "one bit of every sample and XOR-combines the captures in two stages into\n"
    "one file of random bytes. Each capture is health-tested so that a muted or\n"
    "dead input is never passed off as random. quorlix-probe measures the input\n"
    "first: its min-entropy per noise bit, by NIST SP 800-90B, and the run shape\n"
    "that turns it into full-entropy output. quorlix-assess gives a second\n"
    "opinion on the output with standard statistical tests.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
