plenvar_add_test(client_stream_tests
  SOURCES NodeConnectionClientTest.cpp CommandProcessorTest.cpp
  LIBS plenvar_client_static)
