// The socket service's shared helpers: error texts, host lookup, dotted-address checks.
#pragma once
#include <string>

// "Socket Error # <code>", CR LF, and the code's text (empty for an unknown code).
std::string SocketErrorText(int code);

// Throws ENetSocketError with the code and its text.
[[noreturn]] void RaiseSocketError(int code);

// "LOCALHOST" (any case) is 127.0.0.1 and a dotted address is itself, both without a
// lookup; any other name is resolved to the dotted text of its first address. A failed
// lookup throws the socket error of the service.
// The lookup gives up after timeoutMs (when positive) with ENetSocketError 10060; the
// system's own lookup may then still run to its end in the background.
// resolve is the system's lookup (platform::ResolveHostName), replaceable where the limit
// itself is under test; like it, it leaves its error code in LastSocketError on failure.
using THostResolver = bool (*)(const std::string& name, std::string& dotted);
std::string LookUpHost(const std::string& host, int timeoutMs = -1, THostResolver resolve = nullptr);

// Throws ENetException ("<what> contains a line break.") when the text holds a CR or LF:
// inside a command argument it would end the command and begin another.
void RefuseLineBreaks(const char* what, const std::string& text);

// Four pieces split at the first three "." characters, each a whole number from 0 to 255.
bool IsDottedQuad(const std::string& text);
