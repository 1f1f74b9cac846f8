# The private web server (nginx on 127.0.0.1) for the network tests: CTest starts it before
# the tests that need it and stops it afterwards; its state lives under servers/nginx.
if(VDL_TESTS AND TEST net)
  set(nginx_dir ${CMAKE_BINARY_DIR}/servers/nginx)
  add_test(NAME nginx_start COMMAND ${CMAKE_SOURCE_DIR}/scripts/servers/nginx start ${nginx_dir})
  add_test(NAME nginx_stop COMMAND ${CMAKE_SOURCE_DIR}/scripts/servers/nginx stop ${nginx_dir})
  set_tests_properties(nginx_start PROPERTIES FIXTURES_SETUP http_server)
  set_tests_properties(nginx_stop PROPERTIES FIXTURES_CLEANUP http_server)
  set_property(TEST net APPEND PROPERTY FIXTURES_REQUIRED http_server)
endif()
