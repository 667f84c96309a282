norvale_test(test_stack_parsing
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PacketTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/XmlTest.cpp
  LIBS norvale_stack)
