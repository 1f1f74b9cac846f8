# The private FTP server (vsftpd on 127.0.0.1) for the network tests: CTest starts it before
# the tests that need it and stops it afterwards; its state lives under servers/ftp.
if(VDL_TESTS AND TEST net)
  set(vsftpd_dir ${CMAKE_BINARY_DIR}/servers/ftp)
  add_test(NAME vsftpd_start COMMAND ${CMAKE_SOURCE_DIR}/scripts/servers/vsftpd start ${vsftpd_dir})
  add_test(NAME vsftpd_stop COMMAND ${CMAKE_SOURCE_DIR}/scripts/servers/vsftpd stop ${vsftpd_dir})
  set_tests_properties(vsftpd_start PROPERTIES FIXTURES_SETUP ftp_server)
  set_tests_properties(vsftpd_stop PROPERTIES FIXTURES_CLEANUP ftp_server)
  set_property(TEST net APPEND PROPERTY FIXTURES_REQUIRED ftp_server)
endif()
