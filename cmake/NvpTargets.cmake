# Helpers that keep the per-folder CMake files to a line or two: every source
# in a subsystem folder belongs to that subsystem's library, and every
# tests/<area>/tst_*.cpp is one test program.

# nvp_subsystem_library(<name> LINKS <targets...>)
function(nvp_subsystem_library name)
    cmake_parse_arguments(ARG "" "" "LINKS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    if(NOT sources)
        # An empty subsystem still gets a target so the others can link to it.
        set(sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    endif()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
endfunction()

# nvp_add_tests(<folder> LINKS <targets...>): one test per tst_*.cpp.
# Each test gets its own home and config folders so the per-user settings file
# of one test never leaks into another (or into the developer's own).
function(nvp_add_tests folder)
    cmake_parse_arguments(ARG "" "TIMEOUT" "LINKS;LABELS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/tst_*.cpp)
    foreach(src ${tests})
        get_filename_component(test_name ${src} NAME_WE)
        add_executable(${test_name} ${src})
        target_link_libraries(${test_name} PRIVATE ${ARG_LINKS} nvp_testsupport Qt6::Test)
        add_dependencies(${test_name} xrusb nvp_bundled_data)
        set(home ${CMAKE_BINARY_DIR}/test-home/${test_name})
        # Every run starts from an empty home, as on a fresh machine.
        add_test(NAME ${test_name} COMMAND sh -c
            "rm -rf '${home}' && mkdir -p '${home}/tmp' && exec \"$0\" \"$@\"" $<TARGET_FILE:${test_name}>)
        set(environment "QT_QPA_PLATFORM=offscreen;HOME=${home};XDG_CONFIG_HOME=${home}/.config;TMPDIR=${home}/tmp;NVP_TEST_HOME=${home};NVP_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
        # A sanitizer report fails the test; leaks are looked for at exit.
        if(NVP_SANITIZE STREQUAL "thread")
            # Qt comes from the distribution, not built with the race checker:
            # what it allocates and copies inside its own threads (image
            # conversion and thread pools) is left out, our code is checked.
            list(APPEND environment
                "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp:halt_on_error=1:ignore_noninstrumented_modules=1")
        elseif(NVP_SANITIZE STREQUAL "address")
            list(APPEND environment
                "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1"
                "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/sanitizers/lsan.supp:print_suppressions=0"
                "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
        endif()
        set_tests_properties(${test_name} PROPERTIES
            TIMEOUT ${ARG_TIMEOUT}
            ENVIRONMENT "${environment}")
    endforeach()
endfunction()
