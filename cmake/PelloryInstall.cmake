# Install rules that span the folders: the CMake package (find_package(Pellory)
# with the targets Pellory::Framework, Pellory::Classifier, Pellory::Tarnel and
# whatever else a folder adds to the export set PelloryTargets) and the
# pkg-config file pellory.pc for the shared libraries. Each folder installs
# its own headers and libraries.
include(CMakePackageConfigHelpers)

set(PELLORY_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Pellory)
# The engine runs threads (TParallelClassifier).
set(PELLORY_CONFIG_DEPENDENCIES "find_dependency(Threads)\n")

# The binding joins the export set; the dataset layer it links must then be
# exported too, with its headers and the libraries it reads tables through.
if(TARGET DBClassifier AND TARGET Dataset)
  install(TARGETS Dataset EXPORT PelloryTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  target_include_directories(Dataset PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/pellory/data>)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/src/data/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pellory/data
          FILES_MATCHING PATTERN "*.h")
  string(APPEND PELLORY_CONFIG_DEPENDENCIES
         "find_dependency(SQLite3)\nfind_dependency(PkgConfig)\npkg_check_modules(PXLIB REQUIRED IMPORTED_TARGET pxlib)\n")
endif()

install(EXPORT PelloryTargets NAMESPACE Pellory:: DESTINATION ${PELLORY_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/PelloryConfig.cmake.in
  ${CMAKE_BINARY_DIR}/PelloryConfig.cmake INSTALL_DESTINATION ${PELLORY_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/PelloryConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/PelloryConfig.cmake ${CMAKE_BINARY_DIR}/PelloryConfigVersion.cmake
  DESTINATION ${PELLORY_CMAKE_DIR})

# pellory.pc finds its prefix from its own place, so an install under any
# --prefix works.
set(PELLORY_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH PELLORY_PC_TO_PREFIX /prefix/${PELLORY_PC_DIR} /prefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/pellory.pc.in ${CMAKE_BINARY_DIR}/pellory.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/pellory.pc DESTINATION ${PELLORY_PC_DIR})
