# libjpeg decodes the about box's picture. The native build uses Debian's
# libjpeg-turbo; the Windows build cross-builds libjpeg-turbo from Debian's source
# package (fetched into the build folder, never kept in the repository).
if(NOT CMAKE_CROSSCOMPILING)
  find_package(JPEG REQUIRED)
  add_library(ticker_jpeg INTERFACE)
  target_link_libraries(ticker_jpeg INTERFACE JPEG::JPEG)
  return()
endif()

set(jpeg_root ${CMAKE_BINARY_DIR}/_deps/libjpeg-turbo)
set(TICKER_JPEG_SOURCE_DIR ${jpeg_root}/src CACHE PATH "Debian's libjpeg-turbo sources, fetched by tools/fetch-debian-source.sh")
if(NOT EXISTS ${TICKER_JPEG_SOURCE_DIR}/CMakeLists.txt)
  message(STATUS "Fetching Debian's libjpeg-turbo source package")
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/tools/fetch-debian-source.sh libjpeg-turbo CMakeLists.txt ${TICKER_JPEG_SOURCE_DIR} RESULT_VARIABLE fetched)
  if(NOT fetched EQUAL 0)
    message(FATAL_ERROR "libjpeg-turbo sources missing; run tools/deps.sh")
  endif()
endif()

include(ExternalProject)
set(jpeg_install ${jpeg_root}/install)
ExternalProject_Add(libjpeg_turbo_build
  SOURCE_DIR ${TICKER_JPEG_SOURCE_DIR}
  BINARY_DIR ${jpeg_root}/build
  INSTALL_DIR ${jpeg_install}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DCMAKE_INSTALL_LIBDIR=<INSTALL_DIR>/lib
    -DCMAKE_INSTALL_INCLUDEDIR=<INSTALL_DIR>/include
    -DENABLE_SHARED=OFF
    -DENABLE_STATIC=ON
    -DWITH_TURBOJPEG=OFF
    -DWITH_SIMD=OFF
    -DREQUIRE_SIMD=OFF
  BUILD_BYPRODUCTS ${jpeg_install}/lib/libjpeg.a
  LOG_CONFIGURE ON
  LOG_BUILD ON
  LOG_INSTALL ON)
file(MAKE_DIRECTORY ${jpeg_install}/include)
add_library(ticker_jpeg STATIC IMPORTED GLOBAL)
set_target_properties(ticker_jpeg PROPERTIES
  IMPORTED_LOCATION ${jpeg_install}/lib/libjpeg.a
  INTERFACE_INCLUDE_DIRECTORIES ${jpeg_install}/include)
add_dependencies(ticker_jpeg libjpeg_turbo_build)
