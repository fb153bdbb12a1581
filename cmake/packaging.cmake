# Installation (binary, manual page, documentation, bash completion) and the .tar.gz package
# (cpack). The Debian package is built from debian/ with dpkg-buildpackage. The version
# everywhere is the project's, from project() in CMakeLists.txt.
include(GNUInstallDirs)

install(TARGETS brenvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The manual page, with the project's version in its footer, installed compressed as
# Debian's policy asks (as are the changelog and the README).
set(manual_source ${PROJECT_SOURCE_DIR}/man/brenvik.1)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${manual_source})
file(READ ${manual_source} manual_text)
string(REPLACE "\"brenvik\" \"User Commands\"" "\"brenvik ${PROJECT_VERSION}\" \"User Commands\""
       manual_text "${manual_text}")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/brenvik.1 "${manual_text}")
set(manual_page ${CMAKE_CURRENT_BINARY_DIR}/brenvik.1.gz)
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
set(readme ${CMAKE_CURRENT_BINARY_DIR}/README.md.gz)
add_custom_command(OUTPUT ${manual_page}
  COMMAND gzip -9 -n -c ${CMAKE_CURRENT_BINARY_DIR}/brenvik.1 > ${manual_page}
  DEPENDS ${manual_source}
  COMMENT "Compressing the manual page")
add_custom_command(OUTPUT ${changelog}
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/CHANGELOG.md > ${changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md
  COMMENT "Compressing the changelog")
add_custom_command(OUTPUT ${readme}
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/README.md > ${readme}
  DEPENDS ${PROJECT_SOURCE_DIR}/README.md
  COMMENT "Compressing the README")
add_custom_target(documentation ALL DEPENDS ${manual_page} ${changelog} ${readme})
install(FILES ${manual_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/copyright ${readme} ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
# Where bash-completion loads a command's completion from when it is first completed.
install(FILES completion/brenvik DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

set(CPACK_PACKAGE_NAME brenvik)
set(CPACK_PACKAGE_VENDOR "The brenvik project")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "list and tokenize BASIC programs of the Ohio Scientific computers")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
# A .tar.gz of what cmake --install installs: from the default preset, the static binary,
# which runs on any Linux system of its architecture.
set(CPACK_GENERATOR TGZ)
set(CPACK_STRIP_FILES ON)  # the package's binary is stripped; cmake --install --strip strips too
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR})

include(CPack)
