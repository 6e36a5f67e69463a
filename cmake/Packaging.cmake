# The packages: a Debian package from the Linux build, a zip from the Windows build.
# scripts/package makes both; each lands in the build's packages/ folder.
set(CPACK_PACKAGE_NAME dornel)
set(CPACK_PACKAGE_VENDOR "the dornel developers")
set(CPACK_PACKAGE_CONTACT "dornel maintainers <maintainers@users.noreply.c-seed-52dbd640.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text-table import and export filter with its host program")
# Debian wants the lines of the long description within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "dornel reads delimited and fixed-width text (CSV, TXT, DAT and the boundary
files BNA and BLN) into worksheet cells, telling numbers, texts, empty cells
and dates apart field by field, and writes cells and point sets back as
delimited text. The package holds the plug-in library, the host libraries it
needs and the program dornel, which imports, converts, exports and probes
files and keeps the filters' options.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME dornel-${PROJECT_VERSION}-win64)
    # One folder that holds the program and every DLL it needs, unpacked where the user likes.
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # Depends as dpkg-shlibdeps finds them: the C and C++ runtime and uchardet.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # The host libraries are the package's own, found through the program's run path.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
    set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
    set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
endif()

include(CPack)
