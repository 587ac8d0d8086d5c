# Compiler settings shared by every target of the suite.
add_library(quorvane_options INTERFACE)
target_compile_options(quorvane_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(QUORVANE_WERROR)
  target_compile_options(quorvane_options INTERFACE -Werror)
endif()
if(QUORVANE_SANITIZE)
  target_compile_options(quorvane_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(quorvane_options INTERFACE -fsanitize=address,undefined)
endif()
# Headers are included by their layer path ("platform/registry/Hive.h").
target_include_directories(quorvane_options INTERFACE ${PROJECT_SOURCE_DIR})

# quorvane_add_layer(NAME DEPS...) makes the layer library NAME from the
# facility folders below the current folder: each folder contributes its
# sources through its own CMakeLists.txt, so that separate facilities never
# edit the same file. A layer without facilities yet is an interface target.
function(quorvane_add_layer target)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  set(facilities "")
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      list(APPEND facilities ${child})
    endif()
  endforeach()
  if(facilities)
    add_library(${target} STATIC)
    target_link_libraries(${target} PUBLIC ${ARGN})
  else()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${ARGN})
  endif()
  foreach(child ${facilities})
    add_subdirectory(${child})
  endforeach()
endfunction()

# quorvane_add_test(NAME SOURCES ... LIBS ... LABELS ... [ENV ...])
function(quorvane_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE quorvane_options ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QUORVANE_SOURCE_DIR=${PROJECT_SOURCE_DIR};QUORVANE_BINARY_DIR=${PROJECT_BINARY_DIR};${T_ENV}")
endfunction()
