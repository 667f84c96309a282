# Containers, stack clock, event chain and timers.
list(APPEND NORVALE_STACK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/KeyedTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StackClock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EventChain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LifetimeMonitor.cpp)
