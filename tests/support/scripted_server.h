// A loopback server for protocol tests. It listens on 127.0.0.1 (or the loopback address it
// is given, such as "::1") at a free port and, in a
// thread of its own, serves one connection by a script queued before Start(): send bytes
// (whole, or in pieces that leave as separate segments), expect lines, pause, hold the
// connection open, close it. Afterwards the test reads what the client sent.
#pragma once
#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace testing_support {

class ScriptedServer {
 public:
  explicit ScriptedServer(const std::string& ip = "127.0.0.1");
  // Stops a script that still runs (a held connection is closed) and waits for it.
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int Port() const { return port_; }

  ScriptedServer& Send(std::string bytes);
  // Each piece is sent on its own, with a pause before the next, so that the client
  // receives them as separate segments.
  ScriptedServer& SendInPieces(std::vector<std::string> pieces);
  // Reads one line (up to LF; one CR before it is dropped). A different line is recorded
  // as a failure and ends the script.
  ScriptedServer& Expect(std::string line);
  // Reads one line, whatever it is.
  ScriptedServer& ReadLine();
  ScriptedServer& Pause(int ms);
  // Sends nothing and keeps the connection open until the client closes it (or the server
  // is destroyed), keeping whatever arrives.
  ScriptedServer& HoldUntilClientCloses();
  // Closes the connection; the end of the script does the same.
  ScriptedServer& Close();

  // Accepts one connection and runs the script in the server's thread.
  void Start();
  // Waits until the script has ended.
  void Join();

  // What the client sent: the lines read by Expect/ReadLine, every byte received, and what
  // went wrong (an unexpected line, no client, a failed send). Call after Join().
  const std::vector<std::string>& Lines() const { return lines_; }
  const std::string& Received() const { return received_; }
  const std::vector<std::string>& Failures() const { return failures_; }

 private:
  using Step = std::function<bool()>;  // false ends the script
  bool ReceiveMore();                  // false when the client closed or the server stops
  bool TakeLine(std::string& line);
  bool SendAll(const std::string& bytes);
  void Run();

  platform::TcpSocket listener_;
  platform::TcpSocket connection_;
  int port_ = 0;
  std::vector<Step> steps_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::string pending_;   // received, not yet taken as a line
  std::string received_;
  std::vector<std::string> lines_;
  std::vector<std::string> failures_;
};

}  // namespace testing_support
