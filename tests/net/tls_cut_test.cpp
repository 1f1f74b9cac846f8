// A TLS stream that ends without the close notice, from a server in the test with the
// private CA's certificate: after a whole record it is the end of the stream, in the middle
// of one an error, since what came may be cut short. The channel's rule is the same in both
// builds; the SChannel engine's part (a record cut short stays unread) is played in
// tests/platform/schannel_test.cpp.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <string>
#include <thread>

#include "platform/socket.h"
#include "support/server_env.h"

namespace {

TEST(TlsStream, ACloseInTheMiddleOfARecordIsTruncationNotTheEndOfTheStream) {
  std::map<std::string, std::string> env;
  std::string why;
  ASSERT_TRUE(testing_support::ReadServerEnv("dovecot-tls/pop3.env", env, why)) << why;
  const std::string certs = env["CA_FILE"].substr(0, env["CA_FILE"].rfind('/') + 1);
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  ASSERT_EQ(SSL_CTX_use_certificate_chain_file(context, (certs + "server.pem").c_str()), 1);
  ASSERT_EQ(SSL_CTX_use_PrivateKey_file(context, (certs + "server.key").c_str(), SSL_FILETYPE_PEM), 1);
  ASSERT_TRUE(platform::StartSocketService());
  for (bool whole : {true, false}) {
    SCOPED_TRACE(whole ? "a whole record, then the close" : "half a record, then the close");
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&at), size), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&at), &size);
    std::thread server([&] {
      int connection = accept(listener, nullptr, nullptr);
      SSL* ssl = SSL_new(context);
      SSL_set_fd(ssl, connection);
      if (SSL_accept(ssl) == 1) {
        // The record is made in memory and sent by hand, whole or its first half.
        BIO* record = BIO_new(BIO_s_mem());
        SSL_set0_wbio(ssl, record);
        SSL_write(ssl, "ok", 2);
        char* bytes = nullptr;
        const long length = BIO_get_mem_data(record, &bytes);
        send(connection, bytes, static_cast<size_t>(whole ? length : length / 2), MSG_NOSIGNAL);
      }
      SSL_free(ssl);  // no close notice
      close(connection);
    });
    platform::TcpSocket client = platform::TcpSocket::Create();
    ASSERT_TRUE(client.Connect("127.0.0.1", ntohs(at.sin_port), 5000));
    platform::TlsOutcome outcome;
    EXPECT_TRUE(client.StartTls({"localhost", ""}, 5000, nullptr, outcome)) << outcome.Detail;
    char buffer[16];
    long got = client.Receive(buffer, sizeof buffer);
    if (whole) {
      EXPECT_EQ(std::string(buffer, got > 0 ? got : 0), "ok");
      EXPECT_EQ(client.Receive(buffer, sizeof buffer), 0);
    } else {
      EXPECT_EQ(got, -1);
      EXPECT_EQ(platform::LastSocketError(), platform::kSocketErrorTlsTruncated);
    }
    server.join();
    close(listener);
  }
  SSL_CTX_free(context);
}

}  // namespace
#endif
