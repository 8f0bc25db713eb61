# Install rules. The header tree goes under include/quan keeping its folders, because the
# headers include one another by project-relative names ("records/PeakData.h"): consumers
# write #include <quan/quan.h>, and the package puts both include and include/quan on their
# include path (quan.pc does the same). The library's own dependencies (libxml2) are private
# to libquan.so and no public header includes them, so the package has none to find.
include(CMakePackageConfigHelpers)

set(QUAN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quan)

set(QUAN_INSTALLED_LIBRARIES quan)
if(TARGET quanworkflow)
  list(APPEND QUAN_INSTALLED_LIBRARIES quanworkflow)
endif()
install(TARGETS ${QUAN_INSTALLED_LIBRARIES} EXPORT quanTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/quan.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quan COMPONENT development)
foreach(folder ${QUAN_FOLDERS})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${folder}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quan/${folder}
          COMPONENT development FILES_MATCHING PATTERN "*.h" PATTERN "*.def")
endforeach()
# The workflow layer's headers (its .cpp-only pieces, like the report page, stay behind).
if(TARGET quanworkflow)
  foreach(folder ${QUAN_WORKFLOW_FOLDERS})
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/${folder}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quan/${folder}
            COMPONENT development FILES_MATCHING PATTERN "*.h")
  endforeach()
endif()
if(QUAN_TOOL_TARGETS)
  install(TARGETS ${QUAN_TOOL_TARGETS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()

install(EXPORT quanTargets NAMESPACE quan:: DESTINATION ${QUAN_CMAKE_DIR} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/quanConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/quanConfig.cmake INSTALL_DESTINATION ${QUAN_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/quanConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/quanConfig.cmake ${PROJECT_BINARY_DIR}/quanConfigVersion.cmake
        DESTINATION ${QUAN_CMAKE_DIR} COMPONENT development)

# pkg-config: paths relative to the file's own prefix, so a moved tree still answers.
file(RELATIVE_PATH QUAN_PC_TO_PREFIX ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" QUAN_PC_TO_PREFIX "${QUAN_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/quan.pc.in ${PROJECT_BINARY_DIR}/quan.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quan.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
if(TARGET quanworkflow)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/quan-workflow.pc.in ${PROJECT_BINARY_DIR}/quan-workflow.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/quan-workflow.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
          COMPONENT development)
endif()
