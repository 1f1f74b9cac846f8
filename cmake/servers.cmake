# Private servers on 127.0.0.1 for the network tests: CTest starts each before the tests
# that need it and stops it afterwards (scripts/servers/NAME start|stop DIR). The file the
# tests read (address, user, folders) is in servers/DIR of the build; the server's own
# folders (mailbox, FTP home, docroot) are made under /tmp at start and removed at stop, so
# its unprivileged users reach them wherever the build lives; its logs are copied back to
# servers/DIR when it stops.
function(vdl_server_fixture script dir fixture)
  set(state ${CMAKE_BINARY_DIR}/servers/${dir})
  add_test(NAME ${script}_start COMMAND ${CMAKE_SOURCE_DIR}/scripts/servers/${script} start ${state})
  add_test(NAME ${script}_stop COMMAND ${CMAKE_SOURCE_DIR}/scripts/servers/${script} stop ${state})
  set_tests_properties(${script}_start PROPERTIES FIXTURES_SETUP ${fixture})
  set_tests_properties(${script}_stop PROPERTIES FIXTURES_CLEANUP ${fixture})
  set_property(TEST ${ARGN} APPEND PROPERTY FIXTURES_REQUIRED ${fixture})
endfunction()

if(VDL_TESTS AND TEST net AND TEST app)
  vdl_server_fixture(dovecot dovecot pop3_server net app ui)
  vdl_server_fixture(vsftpd ftp ftp_server net app ui)
  vdl_server_fixture(nginx nginx http_server net)
endif()
include(cmake/tls-servers.cmake)
