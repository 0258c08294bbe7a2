# The files every Debian package carries in /usr/share/doc/<package>: the
# licence in the machine-readable copyright form, made from LICENSE, and the
# Debian changelog, gzip-compressed; and the one lintian tag that does not
# apply to a package made outside the Debian archive. They belong to the
# package only, so a plain `cmake --install` leaves them out.
include(GNUInstallDirs)
set(debian_folder ${CMAKE_BINARY_DIR}/debian)
set(debian_doc_folder ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_PACKAGE_NAME})

# copyright: the licence text of LICENSE after its copyright line, each line
# indented by one space and each empty line written as " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" licence_line "${licence}")
set(licence_holder ${CMAKE_MATCH_1})
string(FIND "${licence}" "${licence_line}" licence_start)
string(LENGTH "${licence_line}" licence_line_length)
math(EXPR licence_start "${licence_start} + ${licence_line_length}")
string(SUBSTRING "${licence}" ${licence_start} -1 licence_text)
string(STRIP "${licence_text}" licence_text)
string(REPLACE "\n\n" "\n.\n" licence_text "${licence_text}")
string(REPLACE "\n" "\n " licence_text " ${licence_text}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${debian_folder}/copyright @ONLY)

# The newest changelog entry must name the version the package gets.
set(package_version ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
file(READ ${PROJECT_SOURCE_DIR}/packaging/changelog changelog)
string(FIND "${changelog}" "${CPACK_PACKAGE_NAME} (${package_version}) " newest_entry_start)
if(NOT newest_entry_start EQUAL 0)
  message(FATAL_ERROR "packaging/changelog: the newest entry is not version ${package_version}")
endif()
# Its sign-off line (the first in the file) names the package's maintainer.
string(REGEX MATCH "\n -- ([^\n]*>)  " newest_sign_off "${changelog}")
if(NOT CMAKE_MATCH_1 STREQUAL CPACK_PACKAGE_CONTACT)
  message(FATAL_ERROR "packaging/changelog: the newest entry is signed by '${CMAKE_MATCH_1}', "
    "not by the package's maintainer '${CPACK_PACKAGE_CONTACT}'")
endif()
add_custom_command(OUTPUT ${debian_folder}/changelog.Debian.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog ${debian_folder}/changelog.Debian
  COMMAND ${GZIP_PROGRAM} -9nf ${debian_folder}/changelog.Debian
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${debian_folder}/changelog.Debian.gz)

install(FILES ${debian_folder}/copyright ${debian_folder}/changelog.Debian.gz
  DESTINATION ${debian_doc_folder} COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${CPACK_PACKAGE_NAME}
  COMPONENT debian EXCLUDE_FROM_ALL)
# One package holding both components: the installed files and these.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified debian)
