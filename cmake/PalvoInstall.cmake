# What `cmake --install` puts where, the CMake package and pkg-config files of
# each component, and the Debian package (cpack -G DEB).
include(CMakePackageConfigHelpers)

set(PALVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Palvo)
set(PALVO_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# A component per built library; core first, then each after the ones it links.
set(PALVO_COMPONENTS)
foreach(component core dialect sqlite memory lua xlsx qt odbc)
  if(TARGET palvo_${component})
    list(APPEND PALVO_COMPONENTS ${component})
  endif()
endforeach()

# Third-party packages per component for pkg-config: public ones (their headers or
# libraries reach the user) and private ones (needed only to link a static build).
set(PALVO_PC_PUBLIC_qt "Qt6Widgets Qt6PrintSupport")
set(PALVO_PC_PRIVATE_sqlite "sqlite3 icu-uc icu-i18n")
set(PALVO_PC_PRIVATE_memory "freetype2")
set(PALVO_PC_PRIVATE_qt "libqpdf fontconfig freetype2")
set(PALVO_PC_PRIVATE_odbc "odbc")
set(PALVO_PC_PRIVATE_lua "lua5.4")
set(PALVO_PC_PRIVATE_xlsx "xlsxwriter")

# The Palvo components a library links, publicly and privately.
function(palvo_component_links component out_public out_private)
  get_target_property(all palvo_${component} LINK_LIBRARIES)
  get_target_property(interface palvo_${component} INTERFACE_LINK_LIBRARIES)
  set(public)
  set(private)
  foreach(lib IN LISTS all)
    if(lib MATCHES "^palvo_(.+)$" AND CMAKE_MATCH_1 IN_LIST PALVO_COMPONENTS)
      if(lib IN_LIST interface)
        list(APPEND public ${CMAKE_MATCH_1})
      else()
        list(APPEND private ${CMAKE_MATCH_1})
      endif()
    endif()
  endforeach()
  set(${out_public} ${public} PARENT_SCOPE)
  set(${out_private} ${private} PARENT_SCOPE)
endfunction()

# The pkg-config names of components, space-separated.
function(palvo_pc_names out)
  set(names)
  foreach(component IN LISTS ARGN)
    if(component STREQUAL "core")
      list(APPEND names palvo)
    else()
      list(APPEND names palvo-${component})
    endif()
  endforeach()
  list(JOIN names " " joined)
  set(${out} "${joined}" PARENT_SCOPE)
endfunction()

file(RELATIVE_PATH PALVO_PC_TO_PREFIX /prefix/${PALVO_PKGCONFIG_DIR} /prefix)
string(REGEX REPLACE "/$" "" PALVO_PC_TO_PREFIX "${PALVO_PC_TO_PREFIX}")
file(RELATIVE_PATH PALVO_BIN_TO_LIB /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${CMAKE_INSTALL_LIBDIR})

set(PALVO_CONFIG_CLOSURES "")
foreach(component IN LISTS PALVO_COMPONENTS)
  string(SUBSTRING ${component} 0 1 first)
  string(TOUPPER ${first} first)
  string(SUBSTRING ${component} 1 -1 rest)
  set(export Palvo${first}${rest}Targets)

  install(TARGETS palvo_${component} EXPORT ${export}
          RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
          INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  if(component STREQUAL "sqlite" AND TARGET palvo_tsql_ext)
    # the loadable extension for other SQLite hosts: Palvo::tsql_ext in lib/palvo/
    # when it links the shared core, it finds it one folder up
    set_target_properties(palvo_tsql_ext PROPERTIES EXPORT_NAME tsql_ext INSTALL_RPATH "$ORIGIN/..")
    install(TARGETS palvo_tsql_ext EXPORT ${export} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/palvo)
  endif()
  # Headers: the core's are include/palvo/*.h, each adapter's its own folder include/palvo/<component>/.
  if(component STREQUAL "core")
    file(GLOB PALVO_CORE_HEADERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/palvo/*.h)
    install(FILES ${PALVO_CORE_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/palvo)
  else()
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/palvo/${component}/
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/palvo/${component} FILES_MATCHING PATTERN "*.h")
  endif()
  install(EXPORT ${export} NAMESPACE Palvo:: DESTINATION ${PALVO_CMAKE_DIR})
  string(APPEND PALVO_CONFIG_CLOSURES "set(_palvo_file_${component} ${export}.cmake)\n")

  # Each component's closure, its own dependencies first, for PalvoConfig.cmake.
  palvo_component_links(${component} public private)
  set(closure)
  foreach(dep IN LISTS public private)
    list(APPEND closure ${PALVO_CLOSURE_${dep}})
  endforeach()
  list(APPEND closure ${component})
  list(REMOVE_DUPLICATES closure)
  set(PALVO_CLOSURE_${component} ${closure})
  string(APPEND PALVO_CONFIG_CLOSURES "set(_palvo_closure_${component} ${closure})\n")

  # pkg-config: palvo.pc for the core, palvo-<component>.pc for the others.
  if(component STREQUAL "core")
    set(PALVO_PC_NAME palvo)
    set(PALVO_PC_DESCRIPTION "Palvo component library: the core")
  else()
    set(PALVO_PC_NAME palvo-${component})
    set(PALVO_PC_DESCRIPTION "Palvo component library: the ${component} adapter")
  endif()
  palvo_pc_names(PALVO_PC_REQUIRES ${public})
  palvo_pc_names(PALVO_PC_REQUIRES_PRIVATE ${private})
  string(STRIP "${PALVO_PC_REQUIRES} ${PALVO_PC_PUBLIC_${component}}" PALVO_PC_REQUIRES)
  string(STRIP "${PALVO_PC_REQUIRES_PRIVATE} ${PALVO_PC_PRIVATE_${component}}" PALVO_PC_REQUIRES_PRIVATE)
  set(PALVO_PC_LIB palvo_${component})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/palvo.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/${PALVO_PC_NAME}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${PALVO_PC_NAME}.pc DESTINATION ${PALVO_PKGCONFIG_DIR})
endforeach()

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/PalvoConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/PalvoConfig.cmake INSTALL_DESTINATION ${PALVO_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/PalvoConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/PalvoConfig.cmake ${PROJECT_BINARY_DIR}/PalvoConfigVersion.cmake
        DESTINATION ${PALVO_CMAKE_DIR})


# The tool and the demo, finding the libraries beside their bin/.
foreach(app palvo palvo-demo)
  if(TARGET ${app})
    set_target_properties(${app} PROPERTIES INSTALL_RPATH "$ORIGIN/${PALVO_BIN_TO_LIB}")
    install(TARGETS ${app} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# cpack -G DEB: one package "palvo" with everything above, installed under /usr.
set(PALVO_PACKAGE_MAINTAINER "Palvo maintainers <maintainers@palvo.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_NAME palvo)
set(CPACK_PACKAGE_VENDOR Palvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "C++20 components for Chinese-language business database applications over SQL Server")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PALVO_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
# the run-time libraries come from dpkg-shlibdeps; the demo and the text measurer
# look for Noto Sans CJK, and the demo needs a Qt platform plugin for a display
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-qpa-plugins")
include(CPack)
