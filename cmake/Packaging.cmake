# The Debian package: `cpack -G DEB` in the build folder makes
# corvanepdf_VERSION_ARCH.deb from what `cmake --install` installs, under
# /usr, with the dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvanepdf)
set(CPACK_PACKAGE_VENDOR corvanepdf)
set(CPACK_PACKAGE_CONTACT "corvanepdf maintainers <corvanepdf@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "puts a digital signature into an existing PDF")
set(CPACK_PACKAGE_DESCRIPTION
    "A command, a library with C and C++ interfaces, a Python module and a Qt certificate chooser that sign PDF documents with a detached PKCS#7 signature made with a key of an NSS certificate store, and check the signatures of signed documents.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The library the command links is in the package itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}/component")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3, libnss3-tools, bash-completion")
# postinst makes /var/lib/corvanepdf (user.ini and its lock), postrm --purge removes it.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  "${CMAKE_CURRENT_LIST_DIR}/debian/postinst;${CMAKE_CURRENT_LIST_DIR}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
