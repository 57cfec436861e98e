# The Debian package, made by `make package` (cpack -G DEB in the build folder): the installed
# tree under /usr, its dependencies on Qt, SDL and TagLib found by dpkg-shlibdeps from the
# libraries the programs are linked with, so they follow whatever the build used.

# Every folder the install makes is 0755 whatever the umask, as a package's folders must be.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zirvak)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Zirvak developers")
set(CPACK_PACKAGE_CONTACT "Zirvak developers <zirvak@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://zirvak.github.io/zirvak/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "music player with a butterfly that dances to the beat")
# CPack puts the summary on the first line and indents the rest as the control file wants;
# an empty line becomes a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
Zirvak plays MP3, MP2, MP1, WAV, FLAC, Ogg Vorbis, Opus, WavPack and AAC files one after
another while a butterfly flies over a night garden to the music, beating
its wings on the beats while the garden's fairy lights fade from one hue to
the next.

Its own decoder reads MPEG-1, MPEG-2 and MPEG-2.5 audio in Layers I, II and
III, at a constant or a variable bit rate; FLAC, Ogg Vorbis, Opus and WavPack play
through their reference libraries, and AAC in MP4 through libfaad2. The window keeps a queue of
files and folders, seeks, sets the volume and answers the media keys
through MPRIS. zirvak-cli plays in the terminal, shows a file's format and
tags and decodes it to WAV.]=])

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CPACK_PACKAGE_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SDL2 is loaded at run time, when sound first plays, so the linked libraries do not name it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-2.0-0")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # zirvak_VERSION_ARCH.deb
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

include(CPack)
