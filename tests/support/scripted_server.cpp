#include "support/scripted_server.h"

#include <chrono>
#include <stdexcept>

namespace testing_support {

namespace {
constexpr int kPollMs = 20;        // how often a waiting server looks at its stop flag
constexpr int kPieceGapMs = 50;    // pause between pieces of one reply
constexpr int kAcceptLimitMs = 30000;
}  // namespace

ScriptedServer::ScriptedServer(const std::string& ip) {
  if (!platform::StartSocketService()) throw std::runtime_error("socket service not started");
  listener_ = platform::TcpSocket::Create(platform::IsIPv6Text(ip));
  std::string bound;
  if (!listener_.Valid() || !listener_.Bind(ip, 0) || !listener_.Listen(4) ||
      !listener_.LocalAddress(bound, port_))
    throw std::runtime_error("scripted server cannot listen: error " +
                             std::to_string(platform::LastSocketError()));
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

ScriptedServer& ScriptedServer::Send(std::string bytes) {
  steps_.push_back([this, bytes = std::move(bytes)] { return SendAll(bytes); });
  return *this;
}

ScriptedServer& ScriptedServer::SendInPieces(std::vector<std::string> pieces) {
  steps_.push_back([this, pieces = std::move(pieces)] {
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(kPieceGapMs));
      if (!SendAll(pieces[i])) return false;
    }
    return true;
  });
  return *this;
}

ScriptedServer& ScriptedServer::Expect(std::string want) {
  steps_.push_back([this, want = std::move(want)] {
    std::string line;
    if (!TakeLine(line)) {
      failures_.push_back("expected \"" + want + "\", the client sent no further line");
      return false;
    }
    if (line != want) {
      failures_.push_back("expected \"" + want + "\", got \"" + line + "\"");
      return false;
    }
    return true;
  });
  return *this;
}

ScriptedServer& ScriptedServer::ReadLine() {
  steps_.push_back([this] {
    std::string line;
    return TakeLine(line);
  });
  return *this;
}

ScriptedServer& ScriptedServer::Pause(int ms) {
  steps_.push_back([this, ms] {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop_ && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return !stop_;
  });
  return *this;
}

ScriptedServer& ScriptedServer::HoldUntilClientCloses() {
  steps_.push_back([this] {
    while (ReceiveMore()) {
    }
    return false;
  });
  return *this;
}

ScriptedServer& ScriptedServer::Close() {
  steps_.push_back([] { return false; });
  return *this;
}

void ScriptedServer::Start() { thread_ = std::thread([this] { Run(); }); }

void ScriptedServer::Join() {
  if (thread_.joinable()) thread_.join();
}

void ScriptedServer::Run() {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAcceptLimitMs);
  while (!stop_ && listener_.WaitReadable(kPollMs) == 0) {
    if (std::chrono::steady_clock::now() > until) {
      failures_.push_back("no client connected");
      return;
    }
  }
  if (stop_) return;
  connection_ = listener_.Accept();
  if (!connection_.Valid()) {
    failures_.push_back("accept failed");
    return;
  }
  // Pieces leave at once. (A send that stalls ends when the test's client closes.)
  connection_.SetNoDelay();
  for (auto& step : steps_) {
    if (!step()) break;
  }
  connection_.ShutdownSend();
  connection_.Close();
}

bool ScriptedServer::ReceiveMore() {
  char block[65536];
  for (;;) {
    if (stop_) return false;
    int ready = connection_.WaitReadable(kPollMs);
    if (ready < 0) return false;
    if (ready == 0) continue;
    long n = connection_.Receive(block, sizeof block);
    if (n <= 0) return false;
    received_.append(block, static_cast<size_t>(n));
    pending_.append(block, static_cast<size_t>(n));
    return true;
  }
}

bool ScriptedServer::TakeLine(std::string& line) {
  size_t lf;
  while ((lf = pending_.find('\n')) == std::string::npos) {
    if (!ReceiveMore()) return false;
  }
  line = pending_.substr(0, lf);
  pending_.erase(0, lf + 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  lines_.push_back(line);
  return true;
}

bool ScriptedServer::SendAll(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    if (stop_) return false;
    long n = connection_.Send(bytes.data() + sent, bytes.size() - sent);
    if (n <= 0) {
      failures_.push_back("send failed: error " + std::to_string(platform::LastSocketError()));
      return false;
    }
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace testing_support
