# Install step: writes the menu entry with the launcher's full installed
# path. The folders come relative to the install prefix unless configured
# absolute, as GNUInstallDirs allows.
foreach(_dir VELMORA_LAUNCHER_DIR VELMORA_APPLICATIONS_DIR)
    if(NOT IS_ABSOLUTE "${${_dir}}")
        set(${_dir} "${CMAKE_INSTALL_PREFIX}/${${_dir}}")
    endif()
endforeach()
set(VELMORA_LAUNCHER "${VELMORA_LAUNCHER_DIR}/velmora-rehber-launch")
set(_entry "$ENV{DESTDIR}${VELMORA_APPLICATIONS_DIR}/velmora-rehber.desktop")
message(STATUS "Installing: ${_entry}")
configure_file("${VELMORA_DESKTOP_TEMPLATE}" "${_entry}" @ONLY)
