norvale_fuzz(fuzz_packet SOURCES ${CMAKE_CURRENT_LIST_DIR}/PacketFuzz.cpp LIBS norvale_stack)
norvale_fuzz(fuzz_xml SOURCES ${CMAKE_CURRENT_LIST_DIR}/XmlFuzz.cpp LIBS norvale_stack)
norvale_fuzz(fuzz_url SOURCES ${CMAKE_CURRENT_LIST_DIR}/UrlFuzz.cpp LIBS norvale_stack)
