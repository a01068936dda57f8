# Runs at install time (make install, cpack): installs the files that name
# the place they are installed to, written for the prefix of this install
# rather than the one the build was configured with.
# Set by the install rule that runs it: KVZIP_SOURCE_DIR, KVZIP_BINARY_DIR
# and KVZIP_COMPONENT (cli: the zsh completion; gui: the registry file and
# the menu entry).
set(prefix "${CMAKE_INSTALL_PREFIX}")
# The distribution's /usr keeps its configuration in /etc and its zsh
# completions in vendor-completions; other prefixes keep both below them.
if(prefix STREQUAL "/usr")
    set(config_dir /etc/kelvane-zip)
    set(zsh_dir ${prefix}/share/zsh/vendor-completions)
else()
    set(config_dir ${prefix}/etc/kelvane-zip)
    set(zsh_dir ${prefix}/share/zsh/site-functions)
endif()

if(KVZIP_COMPONENT STREQUAL cli)
    file(INSTALL DESTINATION ${zsh_dir} TYPE FILE
        FILES ${KVZIP_SOURCE_DIR}/packaging/completion/_kvzip)
    return()
endif()

# One staging folder per destination, so that two installs at once (the
# tests) do not write each other's files.
string(MD5 destination "$ENV{DESTDIR}${prefix}")
set(staging "${KVZIP_BINARY_DIR}/install-${destination}")
file(CONFIGURE OUTPUT ${staging}/registry.ini
    CONTENT "[HKEY_CLASSES_ROOT\\KVZIP]\nFilePath=${prefix}/share/kelvane-zip\n")
set(KVZIP_INSTALLED_PROGRAM ${prefix}/bin/kelvane-zip)
configure_file(${KVZIP_SOURCE_DIR}/packaging/kelvane-zip.desktop.in
    ${staging}/kelvane-zip.desktop @ONLY)

file(INSTALL DESTINATION ${config_dir} TYPE FILE FILES ${staging}/registry.ini)
file(INSTALL DESTINATION ${prefix}/share/applications TYPE FILE
    FILES ${staging}/kelvane-zip.desktop)
