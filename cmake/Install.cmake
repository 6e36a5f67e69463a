# What `cmake --install` puts under the prefix, and the manual page built on the way.
#   bin/dornel                          the program
#   lib/dornel/                         the plug-in and the host libraries (bin/ on Windows)
#   include/dornel/                     the host API and the plug-in's factories, for other hosts
#   share/man/man1/dornel.1.gz          the manual
#   share/bash-completion/completions/  Tab completion
#   share/doc/dornel/                   README, samples, copyright and changelog
# On Windows the program and every DLL sit at the top, beside doc/ and samples/.
set(DORNEL_HOST_LIBRARIES brisko tembla qorvix pelmar)

install(TARGETS dornel_app RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS dornel_plugin ${DORNEL_HOST_LIBRARIES}
        RUNTIME DESTINATION ${DORNEL_INSTALL_PLUGINDIR}
        LIBRARY DESTINATION ${DORNEL_INSTALL_PLUGINDIR}
        # The import libraries are no use without a compiler of the same kind; the headers are.
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}/dornel EXCLUDE_FROM_ALL)
if(NOT WIN32)
    # The program finds the host libraries in their folder, and they find each other there,
    # wherever the prefix is.
    set_target_properties(dornel_app PROPERTIES
        INSTALL_RPATH "$ORIGIN/${DORNEL_PLUGIN_DIR_FROM_PROGRAM}")
    set_target_properties(dornel_plugin ${DORNEL_HOST_LIBRARIES} PROPERTIES
        INSTALL_RPATH "$ORIGIN")
endif()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/hostlibs/include/host
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/dornel)
install(FILES ${PROJECT_SOURCE_DIR}/src/entry/Exports.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/dornel)

if(WIN32)
    # The compiler's runtime, which no Windows machine has: the zip runs on its own. Without
    # their debugging sections, which are nine tenths of libstdc++'s 23 MB.
    set(stripped)
    foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/runtime/${dll}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/runtime
            COMMAND ${TOOLCHAIN_PREFIX}-strip --strip-debug -o ${CMAKE_BINARY_DIR}/runtime/${dll}
                    ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${dll}
            DEPENDS ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${dll}
            VERBATIM)
        list(APPEND stripped ${CMAKE_BINARY_DIR}/runtime/${dll})
    endforeach()
    add_custom_target(dornel_runtime_dlls ALL DEPENDS ${stripped})
    install(FILES ${stripped} DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The manual, written in Markdown, as roff for man and as a web page for Windows users.
find_program(PANDOC pandoc REQUIRED)
set(DORNEL_MANUAL ${PROJECT_SOURCE_DIR}/docs/dornel.1.md)
set(DORNEL_MAN_DIR ${CMAKE_BINARY_DIR}/man)
add_custom_command(
    OUTPUT ${DORNEL_MAN_DIR}/dornel.1 ${DORNEL_MAN_DIR}/dornel.1.gz ${DORNEL_MAN_DIR}/dornel.html
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DORNEL_MAN_DIR}
    COMMAND ${PANDOC} --standalone --to man -M "footer=dornel ${PROJECT_VERSION}"
            -o ${DORNEL_MAN_DIR}/dornel.1 ${DORNEL_MANUAL}
    # Debian's way: the most compression, and no time stamp that makes two builds differ.
    COMMAND gzip -9nkf ${DORNEL_MAN_DIR}/dornel.1
    COMMAND ${PANDOC} --standalone --to html -M pagetitle=dornel
            -o ${DORNEL_MAN_DIR}/dornel.html ${DORNEL_MANUAL}
    DEPENDS ${DORNEL_MANUAL}
    COMMENT "Turning the manual into roff and HTML"
    VERBATIM)
add_custom_target(dornel_manual ALL
    DEPENDS ${DORNEL_MAN_DIR}/dornel.1 ${DORNEL_MAN_DIR}/dornel.1.gz ${DORNEL_MAN_DIR}/dornel.html)

if(WIN32)
    install(FILES ${DORNEL_MAN_DIR}/dornel.html ${PROJECT_SOURCE_DIR}/README.md
            DESTINATION ${CMAKE_INSTALL_DOCDIR})
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples DESTINATION .)
else()
    install(FILES ${DORNEL_MAN_DIR}/dornel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/dornel.bash-completion
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME dornel)
    # Debian keeps a native package's history as changelog.gz, compressed as the manual is.
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
        COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog
                > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
    add_custom_target(dornel_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/copyright
                  ${CMAKE_BINARY_DIR}/packaging/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DOCDIR})
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
