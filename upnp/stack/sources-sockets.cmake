# Asynchronous TCP socket, UDP and multicast sockets, local addresses.
list(APPEND NORVALE_STACK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/SocketCalls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SendQueue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReceiveBuffer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AsyncSocket.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UdpSocket.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LocalAddresses.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AddressWatcher.cpp)
