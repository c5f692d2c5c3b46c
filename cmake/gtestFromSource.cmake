# Dependency provider of the cross builds (CMAKE_PROJECT_TOP_LEVEL_INCLUDES): no build of
# GoogleTest for the target is installed, so find_package(GTest) builds one from the
# sources that Debian ships in /usr/src/googletest (package googletest), with the
# target's compiler. Every other package is left to find_package as usual.
include(FetchContent)

function(brellix_provide_gtest METHOD NAME)
  if(NOT NAME STREQUAL "GTest")
    return()
  endif()
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in /usr/src/googletest: sh scripts/deps.sh arm")
  endif()
  set(BUILD_GMOCK OFF)
  set(INSTALL_GTEST OFF)
  FetchContent_Declare(googletest SOURCE_DIR /usr/src/googletest SYSTEM)
  FetchContent_MakeAvailable(googletest)
  # GoogleTest can stream results to a network address, which the tests never ask for. At
  # its call of getaddrinfo the static link warns that glibc's getaddrinfo needs glibc's
  # shared libraries at run time; the call goes to a stand-in that fails instead.
  target_sources(gtest PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/gtestNoResolver.c)
  target_link_options(gtest INTERFACE -Wl,--wrap=getaddrinfo)
  set(GTest_FOUND TRUE PARENT_SCOPE)
endfunction()

cmake_language(SET_DEPENDENCY_PROVIDER brellix_provide_gtest SUPPORTED_METHODS FIND_PACKAGE)
