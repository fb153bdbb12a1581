# Installation (binary, manual page, documentation) and the Debian and .tar.gz packages
# (cpack). The version everywhere is the project's, from project() in CMakeLists.txt.
include(GNUInstallDirs)

# Who answers for the packages, and where the project lives: set them when building packages
# for a distribution (-DBRENVIK_MAINTAINER=..., -DBRENVIK_HOMEPAGE=...). Without a homepage,
# the package has no Homepage field.
set(BRENVIK_MAINTAINER "brenvik maintainers <maintainers@users.noreply.c-seed-a9b3736e.example>"
    CACHE STRING "Maintainer of the packages: name <address>")
set(BRENVIK_HOMEPAGE "" CACHE STRING "Homepage of the project, if it has one")

install(TARGETS brenvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The manual page, with the project's version in its footer, installed compressed as
# Debian's policy asks (as is the changelog).
set(manual_source ${PROJECT_SOURCE_DIR}/man/brenvik.1)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${manual_source})
file(READ ${manual_source} manual_text)
string(REPLACE "\"brenvik\" \"User Commands\"" "\"brenvik ${PROJECT_VERSION}\" \"User Commands\""
       manual_text "${manual_text}")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/brenvik.1 "${manual_text}")
set(manual_page ${CMAKE_CURRENT_BINARY_DIR}/brenvik.1.gz)
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${manual_page}
  COMMAND gzip -9 -n -c ${CMAKE_CURRENT_BINARY_DIR}/brenvik.1 > ${manual_page}
  DEPENDS ${manual_source}
  COMMENT "Compressing the manual page")
add_custom_command(OUTPUT ${changelog}
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/CHANGELOG.md > ${changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md
  COMMENT "Compressing the changelog")
add_custom_target(documentation ALL DEPENDS ${manual_page} ${changelog})
install(FILES ${manual_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/copyright README.md ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CPACK_PACKAGE_NAME brenvik)
set(CPACK_PACKAGE_VENDOR "The brenvik project")
set(CPACK_PACKAGE_CONTACT ${BRENVIK_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "list and tokenize BASIC programs of the Ohio Scientific computers")
set(CPACK_PACKAGE_DESCRIPTION "brenvik converts BASIC programs of the OSI computer family between
tokenized program images, as the machines keep them in memory and on
disk, and plain text listings, for seven BASIC versions (ROM BASIC,
OS65D and OS65U disk BASICs). It reads and writes the programs in OS65D
disk images, flat and bitstream.")
if(BRENVIK_HOMEPAGE)
  set(CPACK_PACKAGE_HOMEPAGE_URL ${BRENVIK_HOMEPAGE})
endif()
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)  # the packages' binary is stripped; cmake --install --strip strips too
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${BRENVIK_MAINTAINER})
if(NOT BRENVIK_STATIC)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
