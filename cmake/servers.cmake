# Private servers on 127.0.0.1 for the network tests, a set of its own for each CTest entry
# that uses them, so that tests running side by side never see each other's mails, uploads
# or pages: CTest starts each server of the set before the test and stops it afterwards
# (scripts/servers/SCRIPT start|stop DIR [CERTS]). The files the tests read (address, user,
# folders) are in servers/<test>/<server>/ of the build; the test is told its set by
# VDL_SERVER_SET=<test> (read in tests/support/server_env.cpp and tests/e2e/harness.py). The
# servers' own folders (mailbox, FTP home, docroot) are made under /tmp at start and removed
# at stop, so their unprivileged users reach them wherever the build lives; the logs are
# copied back beside the files the tests read when a server stops.
#
# The TLS servers use one private CA and its certificates (scripts/servers/tls-certs), made
# once before any of them starts. The Linux tests trust the CA through OpenSSL's own
# SSL_CERT_FILE; the program's defaults stay as they are.
set(VDL_TLS_CERTS ${CMAKE_BINARY_DIR}/servers/tls-certs)
add_test(NAME tls_certs COMMAND ${CMAKE_SOURCE_DIR}/scripts/servers/tls-certs ${VDL_TLS_CERTS})
set_tests_properties(tls_certs PROPERTIES FIXTURES_SETUP tls_certs)

# vdl_test_servers(TEST SERVER...): the servers TEST needs, each named by the folder the
# tests read: dovecot, ftp (vsftpd), nginx, dovecot-tls, vsftpd-tls, nginx-tls.
function(vdl_test_servers test)
  foreach(server ${ARGN})
    set(script ${server})
    if(server STREQUAL "ftp")
      set(script vsftpd)
    endif()
    set(state ${CMAKE_BINARY_DIR}/servers/${test}/${server})
    set(fixture ${test}.${server})
    set(start ${CMAKE_SOURCE_DIR}/scripts/servers/${script} start ${state})
    if(server MATCHES "-tls$")
      list(APPEND start ${VDL_TLS_CERTS})
    endif()
    add_test(NAME ${fixture}.start COMMAND ${start})
    add_test(NAME ${fixture}.stop COMMAND ${CMAKE_SOURCE_DIR}/scripts/servers/${script} stop ${state})
    set_tests_properties(${fixture}.start PROPERTIES FIXTURES_SETUP ${fixture})
    set_tests_properties(${fixture}.stop PROPERTIES FIXTURES_CLEANUP ${fixture})
    if(server MATCHES "-tls$")
      set_tests_properties(${fixture}.start PROPERTIES FIXTURES_REQUIRED tls_certs)
      set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED tls_certs)
    endif()
    set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED ${fixture})
  endforeach()
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT VDL_SERVER_SET=${test})
endfunction()
