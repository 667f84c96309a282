# Text utilities, packet model, URLs and the XML reader.
list(APPEND NORVALE_STACK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/DebugOutput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextParse.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Packet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PacketText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Url.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XmlNode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XmlAttribute.cpp)
