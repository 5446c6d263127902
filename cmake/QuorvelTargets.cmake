# Helpers shared by every folder's CMakeLists.txt.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

add_compile_options(-Wall -Wextra -Wno-unused-parameter)
if(QUORVEL_SANITIZE)
  add_compile_options(-fsanitize=${QUORVEL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=${QUORVEL_SANITIZE})
endif()

set(QUORVEL_INCLUDE_DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/quorvel")

# quorvel_library(<name> SOURCES ... [PUBLIC_DEPS ...] [PRIVATE_DEPS ...] [NO_INSTALL])
# Makes the static library quorvel_<name>, known as Quorvel::<name> inside and outside the tree.
# Headers are included by their path from the repository root ("base/Variant.h"); the public
# headers of the folder (not those under tests/) are installed under include/quorvel/<folder>.
function(quorvel_library name)
  cmake_parse_arguments(ARG "NO_INSTALL" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  set(target quorvel_${name})
  add_library(${target} STATIC ${ARG_SOURCES})
  add_library(Quorvel::${name} ALIAS ${target})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${QUORVEL_INCLUDE_DESTINATION}>)
  target_link_libraries(${target} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  if(NOT ARG_NO_INSTALL)
    install(TARGETS ${target} EXPORT QuorvelTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
    file(RELATIVE_PATH folder "${PROJECT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}")
    install(DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}/" DESTINATION "${QUORVEL_INCLUDE_DESTINATION}/${folder}"
      FILES_MATCHING PATTERN "*.h"
      PATTERN "tests" EXCLUDE PATTERN "fuzz" EXCLUDE PATTERN "internal" EXCLUDE)
  endif()
endfunction()

# quorvel_test(<name> SOURCES ... [LIBS ...] [ENVIRONMENT ...] [LABELS ...])
# One GoogleTest executable registered as one ctest test.
# Without QUORVEL_BUILD_TESTS the executable is still declared, outside the default build and
# without a test, so folders can keep adding definitions and dependencies to it unconditionally.
function(quorvel_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENVIRONMENT;LABELS" ${ARGN})
  if(NOT QUORVEL_BUILD_TESTS)
    add_executable(${name} EXCLUDE_FROM_ALL ${ARG_SOURCES})
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_QPA_PLATFORM=offscreen" ${ARG_ENVIRONMENT})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

function(quorvel_install_package)
  install(EXPORT QuorvelTargets NAMESPACE Quorvel:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quorvel)
  configure_package_config_file("${PROJECT_SOURCE_DIR}/cmake/QuorvelConfig.cmake.in"
    "${PROJECT_BINARY_DIR}/QuorvelConfig.cmake"
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quorvel)
  write_basic_package_version_file("${PROJECT_BINARY_DIR}/QuorvelConfigVersion.cmake"
    COMPATIBILITY SameMajorVersion)
  install(FILES "${PROJECT_BINARY_DIR}/QuorvelConfig.cmake" "${PROJECT_BINARY_DIR}/QuorvelConfigVersion.cmake"
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quorvel)
endfunction()

# quorvel_fuzz(<name> SOURCES ... [LIBS ...] [CORPUS dir])
# A libFuzzer target (LLVMFuzzerTestOneInput). With QUORVEL_FUZZ (clang, the "fuzz" preset) it is
# a real fuzzer: run build-fuzz/<path>/<name> -max_total_time=60 <corpus>. In every other build it
# links a small driver that replays the files of its seed corpus, registered as a test, so the
# harness keeps compiling and its seeds keep passing.
function(quorvel_fuzz name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(QUORVEL_FUZZ)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${name} PRIVATE "${PROJECT_SOURCE_DIR}/cmake/fuzz_replay_main.cpp")
    if(QUORVEL_BUILD_TESTS AND ARG_CORPUS)
      add_test(NAME ${name}_replay COMMAND ${name} "${ARG_CORPUS}")
    endif()
  endif()
endfunction()
