# Installing the library: the shared object with its soname links, the public
# headers, a CMake package (find_package(PlenvarClient2) gives the target
# Plenvar::PlenvarClient2) and a pkg-config file. The platform and protocol
# archives are linked into the shared object privately, so users never need
# them. Component "PlenvarClient2" installs exactly this part.
include(CMakePackageConfigHelpers)

set(PLENVAR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/PlenvarClient2)

set_target_properties(PlenvarClient2 PROPERTIES EXPORT_NAME PlenvarClient2)
install(TARGETS PlenvarClient2 EXPORT PlenvarClient2Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT PlenvarClient2
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/include/Plenvar
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT PlenvarClient2)
install(EXPORT PlenvarClient2Targets NAMESPACE Plenvar::
  DESTINATION ${PLENVAR_CMAKE_DIR} COMPONENT PlenvarClient2)

configure_package_config_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/PlenvarClient2Config.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/PlenvarClient2Config.cmake
  INSTALL_DESTINATION ${PLENVAR_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/PlenvarClient2ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/PlenvarClient2Config.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/PlenvarClient2ConfigVersion.cmake
  DESTINATION ${PLENVAR_CMAKE_DIR} COMPONENT PlenvarClient2)

# The .pc file finds its prefix from its own place, so the installed tree can
# be moved (cmake --install --prefix chooses the prefix after configuring).
set(PLENVAR_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH PLENVAR_PC_TO_PREFIX /${PLENVAR_PKGCONFIG_DIR} /)
string(REGEX REPLACE "/$" "" PLENVAR_PC_TO_PREFIX "${PLENVAR_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/PlenvarClient2.pc.in
  ${CMAKE_CURRENT_BINARY_DIR}/PlenvarClient2.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/PlenvarClient2.pc
  DESTINATION ${PLENVAR_PKGCONFIG_DIR} COMPONENT PlenvarClient2)
