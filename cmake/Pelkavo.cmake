# Helpers shared by every folder of the build.

# A program of the handset: an ELF executable named <name>.exe in the program directory,
# entered through the platform's process entry (which calls WinMain).
function(pelkavo_program name)
  add_executable(${name} ${ARGN})
  set_target_properties(${name} PROPERTIES
    OUTPUT_NAME ${name} SUFFIX ".exe"
    RUNTIME_OUTPUT_DIRECTORY ${PELKAVO_PROGRAM_DIR})
  target_link_libraries(${name} PRIVATE ce_entry ce_platform)
endfunction()

# A library of the handset: a shared object named <name>.dll, opened with LoadLibraryW.
# DIRECTORY gives where it lies (the program directory or the handset's "\Windows").
function(pelkavo_dll name)
  cmake_parse_arguments(DLL "" "DIRECTORY" "SOURCES" ${ARGN})
  add_library(${name} MODULE ${DLL_SOURCES})
  set_target_properties(${name} PROPERTIES
    PREFIX "" SUFFIX ".dll"
    LIBRARY_OUTPUT_DIRECTORY ${DLL_DIRECTORY}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${name} PRIVATE ce_platform)
endfunction()

# A GoogleTest executable registered with CTest. LABELS e2e marks end-to-end tests, which run serially.
function(pelkavo_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  set(props "")
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
    if("e2e" IN_LIST T_LABELS)
      list(APPEND props RUN_SERIAL TRUE)
    endif()
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props}
    ENVIRONMENT "PELKAVO_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()
