norvale_fuzz(fuzz_http_response SOURCES ${CMAKE_CURRENT_LIST_DIR}/HttpResponseFuzz.cpp LIBS norvale_stack)
norvale_fuzz(fuzz_http_request SOURCES ${CMAKE_CURRENT_LIST_DIR}/HttpRequestFuzz.cpp LIBS norvale_stack)
norvale_fuzz(fuzz_ssdp_datagram SOURCES ${CMAKE_CURRENT_LIST_DIR}/SsdpDatagramFuzz.cpp LIBS norvale_stack)
