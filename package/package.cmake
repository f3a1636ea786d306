# The Debian package mail-zevrox_<version>_<arch>.deb (cpack -G DEB, or
# scripts/package): the distribution folder and Install under
# /usr/lib/mail-zevrox/, zvrxctl and the launcher mail-zevrox-install in
# /usr/bin/. Each user then installs the suite into their own machine
# (~/.zvrx, or $ZVRX_PREFIX) by running mail-zevrox-install.
set(ZVRX_VERSION 1.0.0)
set(zvrx_package_root lib/mail-zevrox)

install(PROGRAMS $<TARGET_FILE:Install> DESTINATION ${zvrx_package_root})
# Whatever the build put into the distribution folder, programs runnable.
install(DIRECTORY "${ZVRX_DIST_DIR}/" DESTINATION "${zvrx_package_root}/Installer Resources"
        USE_SOURCE_PERMISSIONS)
install(PROGRAMS $<TARGET_FILE:zvrxctl> DESTINATION bin)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/package/mail-zevrox-install DESTINATION bin)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mail-zevrox)
set(CPACK_PACKAGE_VERSION ${ZVRX_VERSION})
set(CPACK_PACKAGE_VENDOR "Mail Zevrox")
set(CPACK_PACKAGE_CONTACT "Mail Zevrox <mail-zevrox@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "server-side spam checker for Japanese POP3 mailboxes")
set(CPACK_PACKAGE_DESCRIPTION
    "Mail Zevrox logs in to up to three POP3 mailboxes, judges every new message and deletes spam on the server before the mail program fetches it. Run mail-zevrox-install to install it for your user.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), qt6-qpa-plugins, libjpeg62-turbo, libasound2, libssl3, fonts-ipafont-gothic, libc6, libstdc++6")
include(CPack)

if(ZVRX_TESTS)
  enable_testing()
  add_test(NAME package_contents
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/check_package.sh ${PROJECT_BINARY_DIR})
  set_tests_properties(package_contents PROPERTIES LABELS e2e TIMEOUT 300)
endif()
