// POP3 answers as a hostile server sends them, read by the client over a loopback
// connection (a server thread sends the input and closes). The first byte picks what the
// client does and how many bytes each of its socket reads asks for (from 1 byte on, so that
// lines and the ".." of dot-stuffing fall across reads); the second byte sets the piece size
// of multi-line reading:
//   mode 0  a whole session: greeting, USER, PASS, STAT, RETR (into the mail decoder), DELE,
//           QUIT: the status lines, "+OK count size" and a dot-stuffed mail;
//   mode 1  a multi-line answer read in pieces (ReadDotLines), which must give exactly the
//           text of a plain line-by-line reading of the same bytes, and leave the line after
//           the "." line unread;
//   mode 2  the same answer read line by line (CaptureLines in mail mode), the same check.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/errors.h"
#include "base/netexceptions.h"
#include "mail/message.h"
#include "net/pop3.h"
#include "platform/socket.h"

namespace {

// What a plain reading of the bytes as a dot-terminated answer gives: the lines before the
// "." line, each without one CR before its LF, without the first "." of a line that begins
// with "..", and ended by CR LF; whether a "." line came; the complete line after it.
struct DotAnswer {
  std::string text;
  bool ended = false;
  bool hasNext = false;
  std::string next;
};

std::string_view TakeReferenceLine(std::string_view script, size_t& pos, bool& complete) {
  const size_t lf = script.find('\n', pos);
  complete = lf != std::string_view::npos;
  if (!complete) return {};
  std::string_view line = script.substr(pos, lf - pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos = lf + 1;
  return line;
}

DotAnswer ReadReferenceAnswer(std::string_view script) {
  DotAnswer answer;
  size_t pos = 0;
  for (bool complete = true;;) {
    std::string_view line = TakeReferenceLine(script, pos, complete);
    if (!complete) return answer;
    if (line == ".") {
      answer.ended = true;
      const std::string_view next = TakeReferenceLine(script, pos, complete);
      answer.hasNext = complete;
      answer.next = next;
      return answer;
    }
    if (line.starts_with("..")) line.remove_prefix(1);
    answer.text.append(line);
    answer.text.append("\r\n");
  }
}

// The loopback listener the client connects to, made once.
struct Listener {
  platform::TcpSocket socket;
  int port = 0;
  Listener() {
    platform::StartSocketService();
    socket = platform::TcpSocket::Create();
    std::string ip;
    if (!socket.Bind("127.0.0.1", 0) || !socket.Listen(4) || !socket.LocalAddress(ip, port))
      std::abort();
  }
};

// A thread that accepts one connection, sends the script, closes its sending side and
// reads whatever the client sends until the client closes.
class ScriptServer {
 public:
  ScriptServer(platform::TcpSocket& listener, std::string_view script)
      : thread_([&listener, script] {
          if (listener.WaitReadable(5000) != 1) return;
          platform::TcpSocket peer = listener.AcceptPending();
          if (!peer.Valid()) return;
          for (size_t sent = 0; sent < script.size();) {
            const long n = peer.Send(script.data() + sent, script.size() - sent);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
          }
          peer.ShutdownSend();
          char sink[4096];
          while (peer.Receive(sink, sizeof sink) > 0) {
          }
        }) {}
  ~ScriptServer() { thread_.join(); }
  ScriptServer(const ScriptServer&) = delete;
  ScriptServer& operator=(const ScriptServer&) = delete;

 private:
  std::thread thread_;
};

void RunSession(TNetPOP3& pop) {
  pop.UserId = "shop";
  pop.Password = "secret";
  pop.TNetPOP3::OpenConnection();
  pop.CountMessages();
  TNetMessage message;
  if (pop.RetrieveMessage(1, message)) pop.DeleteMessage(1);
  pop.CloseConnection();
}

void ReadAnswerInPieces(TNetPOP3& pop, std::string_view script, size_t piece) {
  const DotAnswer expected = ReadReferenceAnswer(script);
  pop.OpenConnection();
  std::string text;
  bool ended = false;
  try {
    while (!(ended = pop.ReadDotLines(text, piece))) {
    }
  } catch (const ENetConnClosedGracefully&) {
  }
  if (ended != expected.ended || text != expected.text) std::abort();
  if (!ended) return;
  try {
    const std::string next = pop.ReadLine();
    if (!expected.hasNext || next != expected.next) std::abort();
  } catch (const ENetConnClosedGracefully&) {
    if (expected.hasNext) std::abort();
  }
}

void ReadAnswerByLines(TNetPOP3& pop, std::string_view script) {
  const DotAnswer expected = ReadReferenceAnswer(script);
  pop.OpenConnection();
  std::vector<std::string> lines;
  bool ended = false;
  try {
    pop.CaptureLines(&lines, ".", true);
    ended = true;
  } catch (const ENetConnClosedGracefully&) {
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  if (ended != expected.ended || text != expected.text) std::abort();
}

// The multi-line modes connect without the POP3 login: the plain client's connect.
class RawPOP3 : public TNetPOP3 {
 public:
  void OpenConnection() override { TNetTCPClient::OpenConnection(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static Listener listener;
  static constexpr int kReadSizes[] = {1, 2, 3, 7, 8, 64, 4096, 32768};
  const int mode = data[0] % 3;
  const std::string script(reinterpret_cast<const char*>(data) + 2, size - 2);
  const size_t piece = 1 + size_t{data[1]} * 16;

  ScriptServer server(listener.socket, script);
  RawPOP3 pop;
  pop.Host = "127.0.0.1";
  pop.Port = listener.port;
  pop.InactivityTimeout = 5000;
  pop.RecvBufferSize = kReadSizes[(data[0] / 3) % 8];
  try {
    if (mode == 0) RunSession(pop);
    else if (mode == 1) ReadAnswerInPieces(pop, script, piece);
    else ReadAnswerByLines(pop, script);
  } catch (const ENetException&) {
  } catch (const EConvertError&) {
  } catch (const std::runtime_error&) {  // a temporary file of the decoder that cannot be written
  }
  pop.TNetTCPConnection::CloseConnection();
  return 0;
}
