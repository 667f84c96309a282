norvale_test(test_stack_sockets
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/AsyncSocketTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/UdpSocketTest.cpp
  LIBS norvale_stack)
set_tests_properties(test_stack_sockets PROPERTIES LABELS tsan)
