find_package(CURL)
if(CURL_FOUND)
  norvale_bench(bench_http SOURCES ${CMAKE_CURRENT_LIST_DIR}/HttpBench.cpp LIBS norvale_stack CURL::libcurl)
endif()
