# kvzip_install_program(TARGET COMPONENT): installs a program into bin/. A
# stripped install (the Debian packages) also drops the compiler's .comment
# section, which only names the compiler, as Debian's own packages do.
function(kvzip_install_program target component)
    install(TARGETS ${target} RUNTIME DESTINATION bin COMPONENT ${component})
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/$<TARGET_FILE_NAME:${target}>\"
        COMMAND_ERROR_IS_FATAL ANY)
endif()" COMPONENT ${component})
endfunction()
