// The address texts of FTP data connections (RFC 959, RFC 2428): where a server's PASV or
// EPSV reply says to connect, and the argument of the PORT command that tells a server where to connect.
#pragma once
#include <string>

struct TFtpDataAddress {
  std::string Host;  // dotted address
  int Port = 0;
};

// The address of a 227 reply line, "h1,h2,h3,h4,p1,p2": the text between the first "(" and
// the first ")" when the line holds both, else the text after its last space. Host is
// h1.h2.h3.h4, Port p1 * 256 + p2. A field that is not a whole number (or is missing)
// throws EConvertError; a field outside 0..255 throws ENetProtocolReplyError 227 with the
// line, so that no address is made up from a malformed reply.
TFtpDataAddress ParsePassiveReply(const std::string& replyLine);

// The port of a 229 reply line (RFC 2428), "(|||port|)": between the first "(" and the
// next ")" three equal delimiters, the port, the delimiter again. Anything else, or a port
// outside 1..65535, throws ENetProtocolReplyError 229 with the line.
int ParseExtendedPassiveReply(const std::string& replyLine);

// "h1,h2,h3,h4,p1,p2" for a dotted address and a port: every "." of the address becomes
// ",", then port div 256 and port mod 256.
std::string FormatPortArgument(const std::string& ip, int port);
