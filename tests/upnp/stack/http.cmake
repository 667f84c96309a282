norvale_test(test_stack_http_engine
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/HttpReaderTest.cpp
  LIBS norvale_stack)
norvale_test(test_stack_web_client
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/WebClientTest.cpp
  LIBS norvale_stack)
set_tests_properties(test_stack_web_client PROPERTIES LABELS tsan)
norvale_test(test_stack_web_server
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/WebServerTest.cpp
  LIBS norvale_stack)
set_tests_properties(test_stack_web_server PROPERTIES LABELS tsan)
norvale_test(test_stack_ssdp_client
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SsdpClientTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/SsdpSearchTest.cpp
  LIBS norvale_stack)
set_tests_properties(test_stack_ssdp_client PROPERTIES LABELS tsan)
