// Failures of the network clients and of mail decoding. Each says which layer failed and,
// where a server answered, what it said.
#pragma once
#include <stdexcept>
#include <string>

struct ENetException : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The quiet kind: callers that want to end without a message catch it; the top-level
// handler never shows it.
struct ENetSilentException : ENetException {
  using ENetException::ENetException;
};

// The peer closed the connection, or a closed connection was used.
struct ENetConnClosedGracefully : ENetSilentException {
  ENetConnClosedGracefully() : ENetSilentException("Connection Closed Gracefully.") {}
};

// A server answered with a reply the client did not accept: its text and its number.
struct ENetProtocolReplyError : ENetException {
  ENetProtocolReplyError(int replyNumber, const std::string& text)
      : ENetException(text), ReplyNumber(replyNumber) {}
  int ReplyNumber;
};

// The socket service failed: its error code and the text for it.
struct ENetSocketError : ENetException {
  ENetSocketError(int code, const std::string& text) : ENetException(text), Code(code) {}
  int Code;
};

// A peer sent more than a named limit allows (a line, a reply, a message): reading stops
// with this failure instead of exhausting memory.
struct ENetLimitExceeded : ENetException {
  using ENetException::ENetException;
};

// TLS could not be started, or the server's certificate was refused. The text says which:
// "certificate not trusted", "name mismatch", "expired", "fingerprint mismatch", "handshake
// failed", or a server that does not offer TLS.
struct ENetTLSError : ENetException {
  using ENetException::ENetException;
};

// The server's certificate was refused: the owner has to act (install the issuer, correct
// the host name, pin the fingerprint), so the settings dialog says so in its own words.
struct ENetCertificateError : ENetTLSError {
  using ENetTLSError::ENetTLSError;
};

#define VDL_NET_ERROR(Name, Text)                    \
  struct Name : ENetException {                      \
    Name() : ENetException(Text) {}                  \
  }
VDL_NET_ERROR(ENetAlreadyConnected, "Already connected.");
VDL_NET_ERROR(ENetInvalidSocket, "Cannot allocate socket.");
VDL_NET_ERROR(ENetCouldNotBindSocket, "Could not bind socket. Address and port are already in use.");
VDL_NET_ERROR(ENetNoDataToRead, "No data to read.");
VDL_NET_ERROR(ENetNotEnoughDataInBuffer, "Not enough data in buffer.");
VDL_NET_ERROR(ENetObjectTypeNotSupported, "Object type not supported.");
VDL_NET_ERROR(ENetStackInitializationFailed, "Winsock Initialization Error.");
VDL_NET_ERROR(ENetTableNotFound, "Coding table entry not found.");
#undef VDL_NET_ERROR
