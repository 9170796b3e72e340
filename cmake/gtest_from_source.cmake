# GoogleTest built from its sources with this build's compiler and standard
# library, for builds that cannot link the installed one: a cross build for
# Windows, or a build against libc++ (the installed library is built against
# libstdc++). ONDA_GTEST_SOURCE_DIR is the root of the GoogleTest sources,
# e.g. /usr/src/googletest from Debian's libgtest-dev. The targets get the
# names that find_package(GTest) gives them, so the tests link either alike.
if(NOT EXISTS ${ONDA_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "ONDA_GTEST_SOURCE_DIR=${ONDA_GTEST_SOURCE_DIR} holds no GoogleTest sources")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ONDA_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(target gtest gtest_main)  # recent GoogleTest names them so itself
  if(NOT TARGET GTest::${target})
    add_library(GTest::${target} ALIAS ${target})
  endif()
endforeach()
set(GTest_FOUND TRUE)
set(GTEST_FOUND TRUE)
