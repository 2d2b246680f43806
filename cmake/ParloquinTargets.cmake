# Small helpers so that every folder declares its target the same way.

# parloquin_library(<target> SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# Headers are included by their path from the repository root.
function(parloquin_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

# parloquin_test(<target> SOURCES ... LIBS ... LABELS ... [ENVIRONMENT ...] [TIMEOUT s])
# One GoogleTest program; every test case is registered with CTest under the labels.
function(parloquin_test target)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(PARLOQUIN_SANITIZE)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/SanitizerOptions.cpp)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  # Fixtures are found through the source folder compiled in.
  target_compile_definitions(${target} PRIVATE PARLOQUIN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  # gtest_discover_tests passes its PROPERTIES on as one flat list, so a property with several
  # values (two labels, two variables) would keep only its first and shift the rest. CTest reads
  # the properties instead from a file included after the discovered tests, each value whole.
  set(properties "LABELS [==[${ARG_LABELS}]==] TIMEOUT ${ARG_TIMEOUT}")
  if(ARG_ENVIRONMENT)
    string(APPEND properties " ENVIRONMENT [==[${ARG_ENVIRONMENT}]==]")
  endif()
  if("x11" IN_LIST ARG_LABELS)
    # One X server per run: tests that press keys or grab them must not overlap.
    string(APPEND properties " RESOURCE_LOCK x11_display")
  endif()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST)
  set(propertiesFile "${CMAKE_CURRENT_BINARY_DIR}/${target}_properties.cmake")
  file(WRITE "${propertiesFile}"
    "if(${target}_TESTS)\n  set_tests_properties(\${${target}_TESTS} PROPERTIES ${properties})\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${propertiesFile}")
endfunction()
