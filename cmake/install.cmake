# What each program installs, and the simulator's Debian package.
#
# Component "board", for the board's image (tools/board-image), relative to
# --prefix /usr: the program, the NPU model at the board's model path and the
# start script for the board's init. Nothing else: Qt and the other libraries
# are the board's own.
#
# Component "sim", for the package (cpack -G DEB, tools/sim-package): the
# simulator, its menu entry and icon, and its manual page.
include(GNUInstallDirs)
# An install (and so a package) does not build the whole tree with its tests
# first: tools/board-image and tools/sim-package build what they install.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

install(TARGETS heatlume RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT board)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/board/S99heatlume DESTINATION /etc/init.d COMPONENT board)
# The model the program carries, also as a file where the board keeps it, for
# the vendor's tools. It is the embedded one: a vendor model given at
# configure, or ours written out from its source.
set(_hl_board_model ${CMAKE_BINARY_DIR}/board/rv1126b.rknn)
if(HEATLUME_MODEL_FILE)
  set(_hl_model_source ${HEATLUME_MODEL_FILE})
  add_custom_command(OUTPUT ${_hl_board_model}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/board
    COMMAND ${CMAKE_COMMAND} -E copy ${HEATLUME_MODEL_FILE} ${_hl_board_model}
    DEPENDS ${HEATLUME_MODEL_FILE} VERBATIM)
else()
  set(_hl_model_source ${CMAKE_SOURCE_DIR}/enhance/sr_model_data.inc)
  find_program(HL_PERL perl REQUIRED)
  add_custom_command(OUTPUT ${_hl_board_model}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/board
    COMMAND ${HL_PERL} ${CMAKE_SOURCE_DIR}/cmake/array_bytes.pl ${_hl_model_source}
            ${_hl_board_model}
    DEPENDS ${_hl_model_source} ${CMAKE_SOURCE_DIR}/cmake/array_bytes.pl
    VERBATIM
    COMMENT "Writing the embedded NPU model as board/rv1126b.rknn")
endif()
add_custom_target(board_model DEPENDS ${_hl_board_model})
add_dependencies(heatlume board_model)
install(FILES ${_hl_board_model} DESTINATION /oem COMPONENT board)

install(TARGETS heatlume-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sim)
install(FILES ${CMAKE_SOURCE_DIR}/sim/desktop/heatlume-sim.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT sim)
install(FILES ${CMAKE_SOURCE_DIR}/sim/desktop/heatlume-sim.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT sim)
if(NOT CMAKE_CROSSCOMPILING AND NOT HEATLUME_SANITIZE AND NOT HEATLUME_FUZZ)
  # The page is the program's --help, so it is written by running the program
  # (in a plain build of this machine's own: the package is made from one).
  set(_hl_man ${CMAKE_BINARY_DIR}/man/heatlume-sim.1)
  find_program(HL_GZIP gzip REQUIRED)
  add_custom_command(OUTPUT ${_hl_man}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:heatlume-sim> -DOUT=${_hl_man}
            -DVERSION=${PROJECT_VERSION} -P ${CMAKE_SOURCE_DIR}/cmake/manpage.cmake
    COMMAND ${HL_GZIP} -9nf ${_hl_man}
    DEPENDS heatlume-sim ${CMAKE_SOURCE_DIR}/cmake/manpage.cmake
    COMMENT "Writing the manual page from heatlume-sim --help" VERBATIM)
  add_custom_target(sim_manpage ALL DEPENDS ${_hl_man}.gz)
  install(FILES ${_hl_man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT sim)
endif()

# cpack -G DEB in the build folder: heatlume-sim_<version>_<arch>.deb.
set(CPACK_PACKAGE_NAME heatlume-sim)
set(CPACK_PACKAGE_VENDOR "Heatlume")
set(CPACK_PACKAGE_CONTACT "Heatlume developers <heatlume@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Heatlume thermal sight on a simulated board")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_COMPONENTS_ALL sim)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_NAME heatlume-sim)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The summary above is the first line; this is the body.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The application of a handheld thermal imaging sight (live thermal view,\n"
    "palettes, zoom, reticles, photos and videos, gallery, menus in three\n"
    "languages, power management) on a simulated board, with a workbench of\n"
    "keys, power, SD card and thermal scenes.")
# The libraries come from the program itself; the rest are what it runs or
# reads: the remuxer for recordings, and fonts for the Chinese and Russian
# interface texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, fonts-dejavu-core, fonts-wqy-microhei")
set(CPACK_STRIP_FILES ON)
include(CPack)
