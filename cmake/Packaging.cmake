# A Debian package of what `cmake --install` installs: cpack -G DEB in the build folder.
# Its dependencies are the shared libraries the programs link (found by dpkg-shlibdeps) and
# the font every window asks for.
set(CPACK_PACKAGE_NAME kalmora)
set(CPACK_PACKAGE_VENDOR "Team Pendrel")
set(CPACK_PACKAGE_CONTACT "Team Pendrel <support@pendrel.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "body measurement log that makes Excel workbooks with progress charts")
# One string (several would make a list, joined by ";"), lines under 80 characters as the
# Debian policy wants them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Kalmora keeps a personal log of body measurements (an imperial and a metric\n"
    "log) and turns it into an Excel 97-2003 workbook with formulas for lean body\n"
    "weight, body fat and body mass index and three progress charts.\n"
    "\n"
    "Also sheet-tool, which dumps, edits, recalculates and draws such workbooks\n"
    "from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.pendrel.example/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
# The desktop's caches learn of the new entry and icon themselves (dpkg triggers).
include(CPack)

if(KALMORA_TESTS)
    add_test(NAME package_deb COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/DebPackageTest.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
    set_tests_properties(package_deb PROPERTIES LABELS package TIMEOUT 300 RUN_SERIAL TRUE)
endif()
