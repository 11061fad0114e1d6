# AddressSanitizer and UBSan for every target of the build, switched on with
# -DCADELO_SANITIZE=ON (the CI's second build, scripts/sanitize.sh).
option(CADELO_SANITIZE "Instrument every target with AddressSanitizer and UBSan" OFF)

if(CADELO_SANITIZE)
  # Every target reaches cadelo_options through cadelo_core, so compile and
  # link flags set here cover the libraries, the programs and the tests alike.
  # No recovery from UBSan: a report must fail the test that triggered it.
  set(CADELO_SANITIZE_FLAGS
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_options(cadelo_options INTERFACE ${CADELO_SANITIZE_FLAGS})
  target_link_options(cadelo_options INTERFACE ${CADELO_SANITIZE_FLAGS})
endif()

# The core's test programs as one target and one file of names, so the
# sanitizer build compiles and runs exactly those (and tests added to
# CORE_TESTS later) without the widget tests. Deferred: tests/ is read after
# this file.
function(cadelo_core_test_target)
  if(NOT CADELO_BUILD_TESTS)
    return()
  endif()
  get_directory_property(core_tests DIRECTORY ${CMAKE_SOURCE_DIR}/tests DEFINITION CORE_TESTS)
  get_directory_property(fuzz_targets DIRECTORY ${CMAKE_SOURCE_DIR}/tests DEFINITION FUZZ_TARGETS)
  list(APPEND core_tests ${fuzz_targets})
  if(NOT core_tests)
    return()
  endif()
  add_custom_target(cadelo_core_tests)
  add_dependencies(cadelo_core_tests ${core_tests})
  list(JOIN core_tests "\n" names)
  file(WRITE ${CMAKE_BINARY_DIR}/core-tests.txt "${names}\n")
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL cadelo_core_test_target)
