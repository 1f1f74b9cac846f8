#include "net/http.h"

#include <istream>

#include "base/numtext.h"
#include "text/asciitext.h"
#include "base/netexceptions.h"

TNetHTTP::TNetHTTP() { Port = 80; }

void TNetHTTP::GetToStream(const std::string& address, TNetMemoryStream& stream) {
  PerformRequest(hmGet, address, &stream, nullptr);
}

std::string TNetHTTP::UseAddress(const THttpAddress& address) {
  const std::string protocol = address.Host.empty() ? lastProtocol_ : address.Protocol;
  // A relative address keeps host, port and connection.
  if (address.Host.empty()) return protocol;
  CheckRequestHost(address.Host);
  // A missing port (-1) never equals Port: such an address always gets a new connection.
  const int port = address.Port();
  const int schemePort = UseScheme(protocol);
  if ((!EqualsNoCase(address.Host, Host) || port != Port) && IsOpen()) CloseConnection();
  Host = address.Host;
  lastProtocol_ = address.Protocol;
  Port = port >= 0 ? port : schemePort;
  return protocol;
}

void TNetHTTP::SendRequest(TNetHTTPMethod method, const std::string& target,
                           std::istream* source) {
  static const char* const kMethods[] = {"HEAD", "GET", "POST"};
  Request.ContentLength = 0;
  if (method == hmPost && source) {
    source->seekg(0, std::ios::end);
    Request.ContentLength = static_cast<int64_t>(source->tellg());
  }
  // The whole head goes out in one write.
  std::string head = std::string(kMethods[method]) + " " + RequestTarget(target) + " HTTP/" +
                     (ProtocolVersion == pv1_0 ? "1.0" : "1.1") + "\r\n";
  head += "Host: " + HostField() + "\r\n";
  for (const std::string& line : RequestHeaderLines(Request)) head += line + "\r\n";
  head += "\r\n";
  WriteText(head);
  if (method == hmPost && source) WriteFromStream(*source, true, false);
}

THttpBodyFraming TNetHTTP::ReadReply(TNetHTTPMethod method) {
  THttpResponseHead head = ReadResponseHead();
  const THttpStatusLine status = ParseStatusLine(head.StatusLine);
  server10_ = status.Http10;
  StatusText = status.StatusText;
  StatusCode = status.StatusCode;
  const THttpBodyFraming framing = BodyFraming(method == hmHead, StatusCode, head.Headers);
  ReplyHeaders = ResponseHeaderInfo(head.Headers);
  return framing;
}

void TNetHTTP::Finish() {
  if (ProtocolVersion == pv1_0 || server10_) {
    CloseConnection();
  } else if (EqualsNoCase(Trimmed(ReplyHeaders.Connection), "close")) {
    if (IsOpen()) CloseConnection();
  } else if (IsOpen()) {
    // A short look, so that a close by the server is noticed now.
    try {
      FillReceiveQueue(false, 1);
    } catch (const ENetException&) {
      TNetTCPConnection::CloseConnection();
    }
  }
}

void TNetHTTP::PerformRequest(TNetHTTPMethod method, const std::string& address,
                              TNetMemoryStream* response, std::istream* source) {
  const size_t start = response ? response->Position() : 0;
  struct CallEnd {
    TNetHTTP& http;
    TNetMemoryStream* response;
    ~CallEnd() {
      http.requestCount_ = 0;
      http.deadline_.reset();
      if (response) response->Truncate();
    }
  } callEnd{*this, response};
  // One deadline for the whole call, every redirect included.
  if (CallTimeout > 0) deadline_ = Clock::now() + std::chrono::milliseconds(CallTimeout);

  std::string next = address;
  for (;;) {
    ++requestCount_;
    const THttpAddress target = SplitHttpAddress(next);
    const std::string protocol = UseAddress(target);
    if (!ReusableConnection()) Connect();
    SendRequest(method, target.Target(), source);
    const THttpBodyFraming framing = ReadReply(method);
    if (response) ReadBody(framing, *response);
    else if (framing.kind != THttpBodyFraming::kNone) CloseConnection();  // the body stays unread

    const bool redirect = (StatusCode / 100 == 3 && StatusCode != 304) || !ReplyHeaders.Location.empty();
    // A redirect without "Location" leads nowhere: it counts as an unsuccessful answer.
    if (!redirect || ReplyHeaders.Location.empty()) {
      Finish();
      if (StatusCode / 100 != 2) throw ENetProtocolReplyError(StatusCode, StatusText);
      return;
    }

    const std::string base = (protocol.empty() ? "http" : protocol) + "://" + AddressHost(Host) + ":" +
                             IntToStr(Port) + target.Target();
    std::string destination = ResolveLocation(base, ReplyHeaders.Location);
    bool follow = HandleRedirects;
    if (OnRedirect) OnRedirect(this, destination, follow);
    Finish();
    if (HandleRedirects && requestCount_ < RedirectMaximum) {
      if (!follow) return;  // the redirect's own body is the answer
      if (response) response->SetPosition(start);
      next = destination;
      continue;
    }
    if (!follow) throw ENetProtocolReplyError(StatusCode, StatusText);
    ReplyHeaders.Location = destination;
    return;
  }
}

std::string FetchPage(TNetHTTP& http, const std::string& url) {
  TNetMemoryStream stream;
  http.GetToStream(url, stream);
  return stream.TakeBytes();
}
