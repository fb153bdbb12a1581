# Installation (binary and manual page) and the Debian and .tar.gz packages (cpack).
include(GNUInstallDirs)

install(TARGETS brenvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages are installed compressed, as Debian's policy asks.
set(manual_page ${CMAKE_CURRENT_BINARY_DIR}/brenvik.1.gz)
add_custom_command(OUTPUT ${manual_page}
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/man/brenvik.1 > ${manual_page}
  DEPENDS ${PROJECT_SOURCE_DIR}/man/brenvik.1
  COMMENT "Compressing the manual page")
add_custom_target(manual_page ALL DEPENDS ${manual_page})
install(FILES ${manual_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

set(CPACK_PACKAGE_NAME brenvik)
set(CPACK_PACKAGE_VENDOR "The brenvik project")
set(CPACK_PACKAGE_CONTACT "brenvik maintainers <maintainers@brenvik.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "list and tokenize BASIC programs of the Ohio Scientific computers")
set(CPACK_PACKAGE_DESCRIPTION "brenvik converts BASIC programs of the OSI computer family between
tokenized program images, as the machines keep them in memory and on
disk, and plain text listings, for seven BASIC versions (ROM BASIC,
OS65D and OS65U disk BASICs).")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://brenvik.invalid")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
if(NOT BRENVIK_STATIC)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
