// The HTTP/1.1 client with which the program fetches the mall's pages: GET (also HEAD and
// POST) of an "http" address into a memory stream, following redirects when asked to.
//
// An unsuccessful answer throws ENetProtocolReplyError with the status line after its
// version word and the status code, its body left in the stream; network failures are
// those of the connection layer. Every wait is bounded by InactivityTimeout.
#pragma once
#include <functional>
#include <iosfwd>
#include <string>

#include "net/httpconnection.h"
#include "net/httpheaders.h"
#include "net/memorystream.h"

enum TNetHTTPMethod { hmHead, hmGet, hmPost };
enum TNetHTTPProtocolVersion { pv1_0, pv1_1 };

class TNetHTTP : public TNetHTTPConnection {
 public:
  TNetHTTP();  // Port 80

  bool HandleRedirects = false;
  // The most requests one call makes: the answer to the last is taken as it is, also when
  // it is a redirect.
  int RedirectMaximum = 15;
  // ms for one PerformRequest, every redirect, connect and lookup included (0: only
  // InactivityTimeout bounds each wait). Reaching it fails with ENetSocketError 10060.
  int CallTimeout = 120000;
  TNetHTTPProtocolVersion ProtocolVersion = pv1_1;
  // Asked before a redirect is followed, with the absolute address it leads to: may change
  // the address, and the decision, which starts as HandleRedirects.
  std::function<void(TNetComponent* Sender, std::string& destination, bool& follow)> OnRedirect;

  TNetHeaderInfo Request;       // the fields of every request
  TNetHeaderInfo ReplyHeaders;  // the fields of the last response
  int StatusCode = 0;
  std::string StatusText;       // the last status line without its first word

  // PerformRequest(hmGet, address, &stream, nullptr).
  void GetToStream(const std::string& address, TNetMemoryStream& stream);
  // Sends the request and reads the answer's body into the stream, from the stream's
  // position at the call (again from there for each followed redirect), and cuts the
  // stream after the body. Without a stream the body is not read (and the connection is
  // then not kept). For POST the source stream, from its start, is the request body.
  //
  // An address without a host goes to the host and port of the last request; an address
  // without a port goes to port 80, and always over a new connection. A "Location" answer
  // (a 3xx other than 304, or any answer with "Location") is followed, when
  // HandleRedirects or OnRedirect say so, to the address the Location resolves to;
  // otherwise it is an unsuccessful answer, unless only RedirectMaximum stopped it.
  // An "https" address goes over TLS (port 443 unless it names one), so a redirect from
  // http to https is followed; the server's certificate must be trusted and issued for
  // the host (ENetCertificateError otherwise).
  void PerformRequest(TNetHTTPMethod method, const std::string& address,
                      TNetMemoryStream* response, std::istream* source);

 private:
  // Host, Port and the connection for the address; its protocol.
  std::string UseAddress(const THttpAddress& address);
  void SendRequest(TNetHTTPMethod method, const std::string& target, std::istream* source);
  // Status line and headers into StatusCode, StatusText, ReplyHeaders; the body's framing.
  THttpBodyFraming ReadReply(TNetHTTPMethod method);
  // Keeps the connection for the next call, or closes it.
  void Finish();

  int requestCount_ = 0;
  std::string lastProtocol_;
  bool server10_ = false;  // the last response came from an HTTP/1.0 server
};

// A GET of the address into memory; the page's bytes. Failures are raised as by
// PerformRequest; a body above kMaxInMemoryBody fails with ENetLimitExceeded.
std::string FetchPage(TNetHTTP& http, const std::string& url);
