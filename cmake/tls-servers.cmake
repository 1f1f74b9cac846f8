# The private TLS servers: one private CA and its certificates (scripts/servers/tls-certs)
# made before any of them starts, then dovecot, vsftpd and nginx with TLS. The Linux
# tests trust the private CA through OpenSSL's own SSL_CERT_FILE; the program's defaults
# stay as they are.
set(VDL_TLS_CERTS ${CMAKE_BINARY_DIR}/servers/tls-certs)
if(VDL_TESTS AND TEST net)
  add_test(NAME tls_certs COMMAND ${CMAKE_SOURCE_DIR}/scripts/servers/tls-certs ${VDL_TLS_CERTS})
  set_tests_properties(tls_certs PROPERTIES FIXTURES_SETUP tls_certs)
  foreach(server dovecot-tls vsftpd-tls nginx-tls)
    set(state ${CMAKE_BINARY_DIR}/servers/${server})
    add_test(NAME ${server}_start
             COMMAND ${CMAKE_SOURCE_DIR}/scripts/servers/${server} start ${state} ${VDL_TLS_CERTS})
    add_test(NAME ${server}_stop COMMAND ${CMAKE_SOURCE_DIR}/scripts/servers/${server} stop ${state})
    set_tests_properties(${server}_start PROPERTIES FIXTURES_SETUP ${server} FIXTURES_REQUIRED tls_certs)
    set_tests_properties(${server}_stop PROPERTIES FIXTURES_CLEANUP ${server})
    set_property(TEST net ui APPEND PROPERTY FIXTURES_REQUIRED ${server} tls_certs)
  endforeach()
  if(NOT WIN32)
    set_property(TEST net APPEND PROPERTY ENVIRONMENT "SSL_CERT_FILE=${VDL_TLS_CERTS}/ca.pem")
  endif()
endif()

