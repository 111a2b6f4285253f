# Chart generation: work files, spreadsheet helpers, the generation steps.
add_library(kgen STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Excel1.cpp ${CMAKE_CURRENT_LIST_DIR}/Excel1.h
    ${CMAKE_CURRENT_LIST_DIR}/Generation.cpp ${CMAKE_CURRENT_LIST_DIR}/Generation.h
    ${CMAKE_CURRENT_LIST_DIR}/LogFigures.cpp ${CMAKE_CURRENT_LIST_DIR}/LogFigures.h
    ${CMAKE_CURRENT_LIST_DIR}/WorkFiles.cpp ${CMAKE_CURRENT_LIST_DIR}/WorkFiles.h
)
target_include_directories(kgen PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(kgen PUBLIC Qt6::Widgets sheet klog kcore kchart)

if(KALMORA_TESTS)
add_executable(chart_workfiles_test ${CMAKE_CURRENT_LIST_DIR}/tests/WorkFilesTest.cpp)
target_link_libraries(chart_workfiles_test PRIVATE kgen GTest::gtest_main)
kalmora_gtest(chart_workfiles_test)

add_executable(chart_excel1_test ${CMAKE_CURRENT_LIST_DIR}/tests/Excel1Test.cpp)
target_link_libraries(chart_excel1_test PRIVATE kgen ktestsupport)
kalmora_gtest(chart_excel1_test)

add_executable(chart_log_figures_test ${CMAKE_CURRENT_LIST_DIR}/tests/LogFiguresTest.cpp)
target_link_libraries(chart_log_figures_test PRIVATE kgen GTest::gtest_main)
kalmora_gtest(chart_log_figures_test)
endif()
