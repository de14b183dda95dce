# faciward_add_test(NAME <target> PREFIX <Layer.> SOURCES ... LIBS ... [LABELS ...] [SECONDS <s>])
#
# One GoogleTest executable per folder; test names carry the folder's prefix.
# Executables labelled "threads" or "parsing" also get the label "sanitize" and
# join the target faciward_sanitized_tests, which the sanitizer builds compile.
# Otherwise "ui" marks widget tests on the offscreen platform and "x11" those
# that need the X server; every other test is "plain".
# SECONDS: about how long each case takes, for executables whose cases run in
# real time for many seconds. ctest starts the costliest first, so that on a
# fresh tree (no timings yet) they overlap with the short ones instead of
# queueing up at the end.
if(NOT TARGET faciward_sanitized_tests)
    add_custom_target(faciward_sanitized_tests)
endif()

function(faciward_add_test)
    cmake_parse_arguments(T "" "NAME;PREFIX;SECONDS" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} faciward::TestSupport)
    # gtest_discover_tests passes properties on unquoted, so a test gets one label.
    set(label "plain")
    if("threads" IN_LIST T_LABELS OR "parsing" IN_LIST T_LABELS)
        set(label sanitize)
        add_dependencies(faciward_sanitized_tests ${T_NAME})
    elseif("ui" IN_LIST T_LABELS)
        set(label ui)
    elseif("x11" IN_LIST T_LABELS)
        set(label x11)
    endif()
    # The x11 tests share the one X server of scripts/test and its pointer: a
    # click one of them makes would land in another's windows. They run one at a time.
    set(lock "")
    if(label STREQUAL "x11")
        set(lock RESOURCE_LOCK x-display)
    endif()
    set(cost "")
    if(T_SECONDS)
        set(cost COST ${T_SECONDS})
    endif()
    gtest_discover_tests(${T_NAME}
        TEST_PREFIX "${T_PREFIX}"
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${label} ${lock} ${cost})
endfunction()
