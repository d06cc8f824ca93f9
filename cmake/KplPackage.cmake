# A Debian package of the install layout: cpack -G DEB in the build tree.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kpl-engine)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "File-type identification engine and its command-line host")
set(CPACK_PACKAGE_DESCRIPTION "kpl_engine.so names the type of a file (typeID, MIME type, groups, encryption)\n\
for scanning hosts that load it in process; kpl-filetype scans files, folders\n\
and file lists into JSON lines.")
set(CPACK_PACKAGE_CONTACT "kpl_engine maintainers <kpl-engine@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The build keeps debug information for the tests; the package does not need it.
set(CPACK_STRIP_FILES ON)
# dpkg-shlibdeps adds what the binaries link (libc6, libstdc++6, libmagic1,
# ...). Named here as well: the installed home links libmagic-mgc's database
# and p7zip-full's 7za, and the PDF and Office analyzers use libqpdf and
# libzip.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmagic1, libmagic-mgc, p7zip-full, libqpdf29, libzip4")
# What spreads a scan beyond one machine (README): the Python binding's
# Dask scan runs on Debian's python3-distributed, and GNU parallel runs
# kpl-filetype over blocks of a list. The engine and its host need neither.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-distributed, python3-dask, parallel")
include(CPack)
