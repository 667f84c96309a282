norvale_test(test_stack_core
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ContainersTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/EventChainTest.cpp
  LIBS norvale_stack)
set_tests_properties(test_stack_core PROPERTIES LABELS tsan)
