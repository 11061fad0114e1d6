# The Debian package: `cpack -G DEB` in a build configured with
# CMAKE_INSTALL_PREFIX=/usr (scripts/package.sh does both) writes
# cadelo_<version>_<arch>.deb holding the install tree of cmake/Install.cmake,
# plus what Debian asks of every package: the copyright file and a compressed
# changelog under share/doc/cadelo, and the man pages compressed.
# dpkg-shlibdeps finds the libraries the programs and modules need.
set(CADELO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/cadelo)
set(CADELO_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging/debian)

install(FILES ${CADELO_PACKAGING_DIR}/copyright DESTINATION ${CADELO_DOC_DIR})
# Debian wants the changelog gzipped with the same bytes on every build (-n:
# no name or time inside).
set(CADELO_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${CADELO_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9 -n -c ${CADELO_PACKAGING_DIR}/changelog > ${CADELO_CHANGELOG_GZ}
  DEPENDS ${CADELO_PACKAGING_DIR}/changelog VERBATIM)
add_custom_target(cadelo_package_files ALL DEPENDS ${CADELO_CHANGELOG_GZ})
install(FILES ${CADELO_CHANGELOG_GZ} DESTINATION ${CADELO_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cadelo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Cadelo's developers <maintainers@users.noreply.c-seed-6c87ba73.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cut pieces out of audio files and join audio files")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Cadelo cuts a long recording into tracks, pieces of a given length or a\n\
number of equal pieces, and joins audio files into one, with fades, a chosen\n\
encoding and the tags carried over. It reads Ogg Vorbis, MP3, WMA and what\n\
FFmpeg opens. A preview player finds the cut points, and cadelo-cli runs the\n\
same splits and joins from scripts.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/cadelo/cadelo")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the libraries' own dependencies leave out: the window's platform
# plugins and the icons' SVG reader.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
# The modules are the programs' own, found by path, not by the linker.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Directories the package shares with others (/usr, /usr/bin, ...) stay out
# of its own list, so removing it leaves none behind and takes none away.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
