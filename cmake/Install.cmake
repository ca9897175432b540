# Installation as a desktop program, and the Debian package built from it by CPack.
#
# The game looks for its excerpt store and its saved answers in its own folder, so the
# executable and the store share a program folder of their own; bin/ holds only a relative
# link to it (the game resolves its folder through the link). Where that folder cannot be
# written, the game keeps the answers in the per-user data folder.
include(GNUInstallDirs)

set(DORLO_INSTALL_PROGRAM_DIR "lib/${DORLO_EXECUTABLE_NAME}")
set(DORLO_HOMEPAGE "https://www.dorlos.example/" CACHE STRING "The publisher's site")
set(DORLO_SCREENSHOT_URL "${DORLO_HOMEPAGE}${DORLO_EXECUTABLE_NAME}/screenshot.png"
    CACHE STRING "Where docs/screenshot.png is published, for the AppStream metadata")
set(DORLO_DEVELOPER "Dorlos" CACHE STRING "Publisher named in the package metadata")
set(DORLO_MAINTAINER "Dorlos <paquets@dorlos.example>" CACHE STRING "Debian maintainer field")
set(DORLO_APPSTREAM_ID "example.dorlos.dorlo_zidoduder_04")
set(DORLO_RELEASE_DATE "2026-12-07")

# Everything below belongs to the game's package unless it names the ranking server's.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME game)

# Installed folders readable by every user, whatever the installing user's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(staged ${PROJECT_BINARY_DIR}/packaging)
configure_file(${packaging}/dorlo-zidoduder-04.metainfo.xml.in
    ${staged}/${DORLO_APPSTREAM_ID}.metainfo.xml @ONLY)
file(MAKE_DIRECTORY ${staged}/bin)
file(CREATE_LINK ../${DORLO_INSTALL_PROGRAM_DIR}/${DORLO_EXECUTABLE_NAME}
    ${staged}/bin/${DORLO_EXECUTABLE_NAME} SYMBOLIC)

# Only system libraries: no run path into the build tree or anywhere else.
set_target_properties(dorlo-zidoduder-04 dorlo_media_backend PROPERTIES INSTALL_RPATH "")
install(TARGETS dorlo-zidoduder-04 RUNTIME DESTINATION ${DORLO_INSTALL_PROGRAM_DIR})
# The media module the game loads from its own folder once the window is drawn; a shared
# object, so dpkg-shlibdeps finds its libraries (libpulse0, libmpg123-0) among its needs.
install(TARGETS dorlo_media_backend LIBRARY DESTINATION ${DORLO_INSTALL_PROGRAM_DIR})
install(FILES ${DORLO_STORE_PATH} DESTINATION ${DORLO_INSTALL_PROGRAM_DIR})
install(FILES ${staged}/bin/${DORLO_EXECUTABLE_NAME} DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${packaging}/dorlo-zidoduder-04.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${staged}/${DORLO_APPSTREAM_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN LISTS DORLO_ICON_SIZES)
    install(FILES ${DORLO_ICON_DIR}/${size}x${size}/dorlo-zidoduder-04.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# The ranking server, a package of its own: its program and a systemd unit running it as an
# unprivileged user, with its SQLite database under /var/lib.
if(TARGET dorlo-ranking)
    set_target_properties(dorlo-ranking PROPERTIES INSTALL_RPATH "")
    install(TARGETS dorlo-ranking RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ranking)
    install(FILES ${packaging}/dorlo-ranking.service ${packaging}/dorlo-ranking@.service
        DESTINATION lib/systemd/system COMPONENT ranking)
    # The publisher's settings, under /etc whatever the prefix, and kept by dpkg when edited.
    install(FILES ${packaging}/nginx-site.conf DESTINATION /etc/nginx/sites-available
        RENAME dorlo-ranking COMPONENT ranking)
    install(FILES ${packaging}/dorlo-ranking.default DESTINATION /etc/default
        RENAME dorlo-ranking COMPONENT ranking)
    file(WRITE ${staged}/ranking-control/conffiles
        "/etc/default/dorlo-ranking\n/etc/nginx/sites-available/dorlo-ranking\n")
    set(CPACK_DEBIAN_RANKING_PACKAGE_CONTROL_EXTRA ${staged}/ranking-control/conffiles)
endif()

# cpack -G DEB, run in the build tree: one package per component.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${DORLO_EXECUTABLE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ${DORLO_DEVELOPER})
set(CPACK_PACKAGE_CONTACT ${DORLO_MAINTAINER})
set(DORLO_GAME_SUMMARY "listening quiz in French: thirty musical excerpts")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A listening game in one window, in French: thirty short excerpts of musical works,\n"
    "and for each the player types the title. Answers are compared tolerantly and kept\n"
    "between games, and a ranking code follows the count of answers found.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL game ranking)
set(CPACK_DEBIAN_GAME_PACKAGE_NAME ${DORLO_EXECUTABLE_NAME})
set(CPACK_DEBIAN_RANKING_PACKAGE_NAME dorlo-ranking)
# Each package's description starts with its own summary line; with no project-wide summary
# set, CPack adds none of its own.
set(CPACK_DEBIAN_GAME_DESCRIPTION "${DORLO_GAME_SUMMARY}\n${CPACK_PACKAGE_DESCRIPTION}")
string(CONCAT CPACK_DEBIAN_RANKING_DESCRIPTION
    "publisher's on-line ranking of the Dorlo Zidoduder 04 quiz\n"
    "The web site where players enter the ranking code the game shows: it checks the\n"
    "code, keeps one entry per pseudonym and lists the best scores, on SQLite or\n"
    "PostgreSQL. A systemd unit runs it on 127.0.0.1:8080 as an unprivileged user; a\n"
    "template unit runs several processes on one database, behind the nginx site shipped.")
set(CPACK_DEBIAN_RANKING_PACKAGE_SECTION web)
set(CPACK_DEBIAN_RANKING_PACKAGE_SUGGESTS "nginx, postgresql")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${DORLO_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${DORLO_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, out of dpkg-shlibdeps' sight: the window's fonts and the platform
# integration. The media module is loaded too, but it is itself in the package, where
# dpkg-shlibdeps reads it.
set(CPACK_DEBIAN_GAME_PACKAGE_DEPENDS "fonts-lato, fonts-dejavu-core, qt6-qpa-plugins")
include(CPack)
