# What `cmake --install` puts where, and the package CPack makes of it:
#   Linux:   bin/quarlen, share/man/man1/quarlen.1.gz, the licence as
#            share/doc/quarlen/copyright, and for file managers the .rsr
#            MIME type as share/mime/packages/quarlen.xml and the
#            thumbnailer share/thumbnailers/quarlen.thumbnailer (desktop/);
#            `cpack` makes quarlen_VERSION_ARCH.deb
#   Windows: quarlen.exe, quarlen-cli.exe when it is built, README.txt and
#            LICENSE.txt; `cpack` makes quarlen-VERSION-win32.zip
# tools/release.sh builds both into dist/.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME quarlen)
set(CPACK_PACKAGE_VENDOR "The quarlen developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converts Poser .rsr geometry files to Wavefront .obj")
set(CPACK_PACKAGE_DESCRIPTION
    "quarlen reads Poser geometry files (.rsr: binary, big-endian polygon groups) and writes them as Wavefront OBJ text that today's 3D programs load.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

if(WIN32)
  install(TARGETS quarlen RUNTIME DESTINATION .)
  if(TARGET quarlen_cli)
    install(TARGETS quarlen_cli RUNTIME DESTINATION .)
  endif()
  # Text as a Windows user opens it: .txt names, CR LF line ends.
  configure_file(${PROJECT_SOURCE_DIR}/README.md ${PROJECT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quarlen-${PROJECT_VERSION}-win32)
else()
  install(TARGETS quarlen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Manual pages are installed compressed.
  set(man ${PROJECT_BINARY_DIR}/quarlen.1)
  add_custom_command(
    OUTPUT ${man}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/quarlen.1 ${man}
    COMMAND gzip -9nf ${man}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/quarlen.1
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(quarlen_manpage ALL DEPENDS ${man}.gz)
  install(FILES ${man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
  # Pictures of .rsr files in file managers. shared-mime-info's dpkg trigger
  # on share/mime/packages rebuilds the MIME database as the package comes
  # and goes: no maintainer script is needed.
  install(FILES ${PROJECT_SOURCE_DIR}/desktop/quarlen.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(FILES ${PROJECT_SOURCE_DIR}/desktop/quarlen.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)

  set(CPACK_GENERATOR DEB)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # quarlen_VERSION_ARCH.deb
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The quarlen developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  # Depends: what dpkg-shlibdeps finds the program linked against.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
