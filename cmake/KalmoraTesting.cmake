# How tests are registered. Every GoogleTest executable is registered case by case, so that
# CTest lists, runs, times and reruns single test cases rather than whole executables.
include(GoogleTest)

# kalmora_gtest(TARGET
#               [SUFFIX text]            appended to each case's name (one executable run twice)
#               [ENVIRONMENT VAR=value...]
#               [LAUNCHER command...]    runs the executable (xvfb-run ...)
#               [LABELS label...] [TIMEOUT seconds] [WORKING_DIRECTORY dir] [RUN_SERIAL]
#               [RESOURCE_LOCK name])  xvfb: "xvfb-run -a" picks its display racily, so X tests take turns
#
# The environment and the launcher apply when the cases are listed as well as when they run:
# a GUI test must find its platform before it can list anything. (They go in front of the
# command because a test property cannot carry more than one variable through the listing.)
# The cases are listed when CTest runs, not after each link, so that a build never runs a test
# executable (sanitizer builds, cross builds, a machine without a display).
function(kalmora_gtest target)
    cmake_parse_arguments(ARG "RUN_SERIAL" "SUFFIX;TIMEOUT;WORKING_DIRECTORY;RESOURCE_LOCK" "ENVIRONMENT;LAUNCHER;LABELS" ${ARGN})
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "kalmora_gtest(${target}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
    endif()
    set(launcher)
    if(ARG_ENVIRONMENT)
        set(launcher ${CMAKE_COMMAND} -E env ${ARG_ENVIRONMENT})
    endif()
    list(APPEND launcher ${ARG_LAUNCHER})

    set(properties)
    if(ARG_LABELS)
        # One label per case keeps the property list flat (see above).
        list(LENGTH ARG_LABELS count)
        if(count GREATER 1)
            message(FATAL_ERROR "kalmora_gtest(${target}): one label only")
        endif()
        list(APPEND properties LABELS ${ARG_LABELS})
    endif()
    if(ARG_TIMEOUT)
        list(APPEND properties TIMEOUT ${ARG_TIMEOUT})
    endif()
    if(ARG_RUN_SERIAL)
        list(APPEND properties RUN_SERIAL TRUE)
    endif()
    if(ARG_RESOURCE_LOCK)
        list(APPEND properties RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
    endif()
    set(extra)
    if(ARG_WORKING_DIRECTORY)
        set(extra WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY})
    endif()
    if(ARG_SUFFIX)
        list(APPEND extra TEST_SUFFIX ${ARG_SUFFIX})
    endif()

    # The listing reads the launcher from the target when it is called, so it is set for this
    # call only.
    set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR "${launcher}")
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 ${extra}
        PROPERTIES ${properties})
    set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR "")
endfunction()
