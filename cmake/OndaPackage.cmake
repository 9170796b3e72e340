# Packages, made by cpack from what `cmake --install` installs:
#   Linux:   cpack -G DEB  gives onda_<version>_<arch>.deb, everything under
#            /usr, for Debian 12: the programs (stripped), their manual pages
#            and the changelog (compressed as Debian wants them), the README
#            and the copyright file.
#   Windows: cpack -G ZIP  gives onda-<version>-win64.zip: a folder holding
#            the three .exe files, README.txt and LICENSE.txt.
set(CPACK_PACKAGE_NAME onda)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "onda developers <onda@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Haar wavelet transform of BMP pictures")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
       "Three command-line programs that apply the Haar wavelet transform to BMP"
       "pictures: ondafwd (the multi-level forward transform), ondainv (its inverse)"
       "and ondasplit (one or two levels in one sweep over 2x2 blocks). They read"
       "and write uncompressed 8-bit and 24-bit BMP files.")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME onda-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME onda-${PROJECT_VERSION}-win32)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The programs need the C and C++ runtime libraries alone; dpkg-shlibdeps
  # names their versions, and without it these are Debian 12's.
  find_program(ONDA_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(ONDA_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 9)")
  endif()
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/prepare-deb.cmake)
  set(CPACK_ONDA_STRIP ${CMAKE_STRIP})  # for prepare-deb.cmake
endif()

include(CPack)
