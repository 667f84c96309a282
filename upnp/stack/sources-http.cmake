# HTTP message engine, HTTP client, HTTP server side and SSDP client.
list(APPEND NORVALE_STACK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ChunkedDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HttpReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WebClient.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WebClientSockets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WebServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SsdpClient.cpp)
