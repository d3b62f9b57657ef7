# The Windows layout, the same in the setup program (NSIS) and in the portable zip:
#   bin\korvel.exe, bin\korvelctl.exe     the programs; started in bin\, they find ..\Lang
#   Lang\Korvel_lang.pol, .ang            the language files
#   COPYRIGHT.txt                         the licence text
# From build/windows: cpack -G NSIS (korvel-VERSION-setup.exe) and cpack -G ZIP
# (korvel-VERSION-portable.zip). The setup program also prepares the installing user's working
# folder (%LOCALAPPDATA%\Korvel\bin with ..\Lang) and points the shortcuts there.
set(windows_dir ${CMAKE_CURRENT_SOURCE_DIR}/windows)
set(KORVEL_LANG_DIR ${PROJECT_SOURCE_DIR}/resources/lang)

install(TARGETS korvel korvelctl RUNTIME DESTINATION bin)
install(FILES ${KORVEL_LANG_DIR}/Korvel_lang.pol ${KORVEL_LANG_DIR}/Korvel_lang.ang DESTINATION Lang)
# The licence text as a fitter reads it: the holders and the terms from the Debian copyright file,
# without its machine-readable fields, in CR LF lines for Windows editors and the setup's page.
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/copyright copyright_text)
string(REGEX MATCH "\nCopyright: ([^\n]*)" _ "${copyright_text}")
set(copyright_holders "${CMAKE_MATCH_1}")
string(REGEX MATCH "\nLicense: [^\n]*\n((( [^\n]*)\n?)+)" _ "${copyright_text}")
string(REGEX REPLACE "(^|\n) " "\\1" licence_terms "${CMAKE_MATCH_1}")
if(copyright_holders STREQUAL "" OR licence_terms STREQUAL "")
  message(FATAL_ERROR "packaging/copyright has no Copyright or License field")
endif()
set(copyright_text "Korvel service tool ${PROJECT_VERSION}\n\nCopyright ${copyright_holders}\n\n${licence_terms}")
string(REPLACE "\n" "\r\n" copyright_text "${copyright_text}")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/COPYRIGHT.txt "${copyright_text}")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/COPYRIGHT.txt DESTINATION .)

# nsis_snippet(<variable> <file>): NSIS lines for one hook of the setup program.
function(nsis_snippet variable file)
  file(READ ${windows_dir}/${file} text)
  string(CONFIGURE "${text}" text @ONLY)
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()

set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME korvel)
set(CPACK_PACKAGE_VENDOR Korvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Korvel service tool")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Korvel)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Korvel)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_BINARY_DIR}/COPYRIGHT.txt)
set(CPACK_STRIP_FILES OFF)  # the release build is linked stripped already
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/cpack_options.cmake)
configure_file(${windows_dir}/cpack_options.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/cpack_options.cmake @ONLY)

set(CPACK_NSIS_PACKAGE_NAME "Korvel ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "Korvel ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/korvel.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/korvel.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\korvel.exe")
set(CPACK_NSIS_CONTACT "maintainers@korvel.invalid")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH OFF)
# A 64-bit setup program for the 64-bit programs: it sees the real Program Files and registry (no
# 32-bit redirection), and it runs on a 64-bit-only Wine. Its pages' branding line names the program.
set(CPACK_NSIS_DEFINES "Target amd64-unicode\nBrandingText \"Korvel ${PROJECT_VERSION}\"")
nsis_snippet(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS preinstall.nsh)
nsis_snippet(CPACK_NSIS_CREATE_ICONS_EXTRA create_icons.nsh)
nsis_snippet(CPACK_NSIS_EXTRA_INSTALL_COMMANDS install.nsh)
nsis_snippet(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS uninstall.nsh)
nsis_snippet(CPACK_NSIS_DELETE_ICONS_EXTRA delete_icons.nsh)

set(CPACK_ZIP_COMPONENT_INSTALL OFF)
include(CPack)
