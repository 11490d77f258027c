# The Debian package: cpack -G DEB in the build folder. Its dependencies are
# found from the shared libraries the installed files link (dpkg-shlibdeps,
# from dpkg-dev), so they follow whatever the build linked.
set(CPACK_PACKAGE_NAME norvaplex)
set(CPACK_PACKAGE_VENDOR Brellow)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "USB programmer software for NAND and SPI flash chips")
set(CPACK_PACKAGE_DESCRIPTION
"Norvaplex drives a USB programmer for NAND and SPI flash chips: detect, read,
verify, blank-check, erase and program a chip, keep NAND bad-block tables,
copy an image around a target chip's bad blocks and repair single-bit read
errors. A console and a small script language drive every operation.")
set(CPACK_PACKAGE_CONTACT "support@norvaplex.example")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Brellow <support@norvaplex.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://norvaplex.example")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The adapter library in lib/norvaplex/dll/ is loaded at run time, not
# linked: it is no shared library other packages could use.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_GENERATOR DEB)

include(CPack)
