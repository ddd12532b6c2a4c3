# Poppler (core and Splash) and FreeType for the viewer control: cross-built static at build
# time from Debian's source packages, inside the build tree (thirdparty/). The fetched source
# packages stay in thirdparty/download, so a rebuild does not fetch them again.
# Provides the imported target folvane::poppler.
include(ExternalProject)

set(FOLVANE_TP_DIR ${CMAKE_BINARY_DIR}/thirdparty)
set(FOLVANE_TP_PREFIX ${FOLVANE_TP_DIR}/install)
set(FOLVANE_TP_FETCH ${CMAKE_CURRENT_LIST_DIR}/../scripts/thirdparty-fetch.sh)
set(FOLVANE_TP_PATCH ${CMAKE_CURRENT_LIST_DIR}/../scripts/thirdparty-patch.sh)
set(folvane_poppler_patches ${CMAKE_CURRENT_LIST_DIR}/poppler-glyph-cache.patch
  ${CMAKE_CURRENT_LIST_DIR}/poppler-font-mapping.patch ${CMAKE_CURRENT_LIST_DIR}/poppler-font-reuse.patch)
set(folvane_tp_common
  -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX=${FOLVANE_TP_PREFIX}
  # Found beside MinGW's own root, which the toolchain file confines searches to.
  "-DCMAKE_FIND_ROOT_PATH=/usr/i686-w64-mingw32\\;${FOLVANE_TP_PREFIX}"
  -DBUILD_SHARED_LIBS=OFF)

ExternalProject_Add(thirdparty_freetype
  PREFIX ${FOLVANE_TP_DIR}/freetype
  DOWNLOAD_COMMAND ${FOLVANE_TP_FETCH} freetype ${FOLVANE_TP_DIR}/download ${FOLVANE_TP_DIR}/src/freetype
  SOURCE_DIR ${FOLVANE_TP_DIR}/src/freetype
  CMAKE_ARGS ${folvane_tp_common}
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON
    -DFT_DISABLE_BROTLI=ON -DFT_DISABLE_ZLIB=ON
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> -j2
  BUILD_BYPRODUCTS ${FOLVANE_TP_PREFIX}/lib/libfreetype.a
  UPDATE_COMMAND "" PATCH_COMMAND "")

ExternalProject_Add(thirdparty_poppler
  DEPENDS thirdparty_freetype
  PREFIX ${FOLVANE_TP_DIR}/poppler
  DOWNLOAD_COMMAND ${FOLVANE_TP_FETCH} poppler ${FOLVANE_TP_DIR}/download ${FOLVANE_TP_DIR}/src/poppler
  SOURCE_DIR ${FOLVANE_TP_DIR}/src/poppler
  CMAKE_ARGS ${folvane_tp_common}
    -DFREETYPE_INCLUDE_DIRS=${FOLVANE_TP_PREFIX}/include/freetype2
    -DFREETYPE_LIBRARY=${FOLVANE_TP_PREFIX}/lib/libfreetype.a
    -DENABLE_UNSTABLE_API_ABI_HEADERS=ON
    -DENABLE_SPLASH=ON -DENABLE_CPP=OFF -DENABLE_UTILS=OFF -DENABLE_GLIB=OFF
    -DENABLE_QT5=OFF -DENABLE_QT6=OFF -DENABLE_BOOST=OFF -DENABLE_LIBCURL=OFF
    -DENABLE_NSS3=OFF -DENABLE_GPGME=OFF -DENABLE_LCMS=OFF -DENABLE_ZLIB=OFF
    -DENABLE_ZLIB_UNCOMPRESS=OFF -DENABLE_LIBTIFF=OFF -DENABLE_LIBPNG=OFF
    -DWITH_PNG=OFF -DWITH_JPEG=OFF -DWITH_TIFF=OFF -DWITH_Cairo=OFF -DWITH_NSS3=OFF
    -DWITH_Iconv=OFF -DWITH_GObjectIntrospection=OFF -DRUN_GPERF_IF_PRESENT=OFF
    -DBUILD_GTK_TESTS=OFF -DBUILD_QT5_TESTS=OFF -DBUILD_QT6_TESTS=OFF
    -DBUILD_CPP_TESTS=OFF -DBUILD_MANUAL_TESTS=OFF
    -DENABLE_DCTDECODER=unmaintained -DENABLE_LIBOPENJPEG=unmaintained
    -DFONT_CONFIGURATION=win32
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> -j2
  BUILD_BYPRODUCTS ${FOLVANE_TP_PREFIX}/lib/libpoppler.a
  UPDATE_COMMAND ""
  # Splash keeps 16 glyphs per font at text sizes, so a page of text rasterises nearly every
  # glyph it draws again; the change keeps 128. Drawn pixels are the same. On Windows a font
  # file is read through stdio, a seek and a read for every read FreeType makes; the change
  # maps it. A new document made Poppler load its fonts anew, glyphs and all; the change keeps
  # the fonts read from files outside the document (the substitutes beside the worker, the
  # system's) for the next document, keyed by file and code-to-glyph map.
  PATCH_COMMAND ${FOLVANE_TP_PATCH} <SOURCE_DIR> ${folvane_poppler_patches})
ExternalProject_Add_StepDependencies(thirdparty_poppler patch ${folvane_poppler_patches})

file(MAKE_DIRECTORY ${FOLVANE_TP_PREFIX}/include/poppler ${FOLVANE_TP_PREFIX}/include/freetype2)
add_library(folvane_freetype STATIC IMPORTED GLOBAL)
set_target_properties(folvane_freetype PROPERTIES
  IMPORTED_LOCATION ${FOLVANE_TP_PREFIX}/lib/libfreetype.a)
add_library(folvane_poppler_core STATIC IMPORTED GLOBAL)
set_target_properties(folvane_poppler_core PROPERTIES
  IMPORTED_LOCATION ${FOLVANE_TP_PREFIX}/lib/libpoppler.a
  INTERFACE_INCLUDE_DIRECTORIES "${FOLVANE_TP_PREFIX}/include/poppler"
  INTERFACE_LINK_LIBRARIES "folvane_freetype;gdi32")
add_dependencies(folvane_poppler_core thirdparty_poppler)
add_library(folvane::poppler ALIAS folvane_poppler_core)
