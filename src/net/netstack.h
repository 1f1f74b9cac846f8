// The socket service's shared helpers: error texts, host lookup, address-literal checks.
#pragma once
#include <string>
#include <vector>

// "Socket Error # <code>", CR LF, and the code's text (empty for an unknown code).
std::string SocketErrorText(int code);

// Throws ENetSocketError with the code and its text.
[[noreturn]] void RaiseSocketError(int code);

// The addresses to connect to for a host, IPv4 first, then IPv6, each in the lookup's
// order. "LOCALHOST" (any case) is 127.0.0.1, a dotted address is itself, and an IPv6
// address (bare, or in brackets as in "[::1]") is itself without brackets, all without a
// lookup; any other name is resolved to all of its addresses. A failed lookup throws the
// socket error of the service.
// The lookup gives up after timeoutMs (when positive) with ENetSocketError 10060; the
// system's own lookup may then still run to its end in the background.
// resolve is the system's lookup (platform::ResolveHostName), replaceable where the lookup
// itself is under test; like it, it leaves its error code in LastSocketError on failure.
using THostResolver = bool (*)(const std::string& name, std::vector<std::string>& addresses);
std::vector<std::string> LookUpHost(const std::string& host, int timeoutMs = -1,
                                    THostResolver resolve = nullptr);

// The host without the brackets of an IPv6 address ("[::1]" gives "::1"); any other host
// as it is.
std::string Unbracketed(const std::string& host);

// Whether the host is a numeric address (dotted IPv4, or IPv6 bare or in brackets), which
// needs no lookup and has no name to send to a TLS server.
bool IsAddressLiteral(const std::string& host);

// Throws ENetException ("<what> contains a line break.") when the text holds a CR or LF:
// inside a command argument it would end the command and begin another.
void RefuseLineBreaks(const char* what, const std::string& text);

// Four pieces split at the first three "." characters, each a whole number from 0 to 255.
bool IsDottedQuad(const std::string& text);
