#include "support/scripted_mailbox.h"

#include <stdexcept>

#include "base/netexceptions.h"
#include "mail/message.h"
#include "mail/stringlinereader.h"

namespace testing_support {

namespace {

// The mail as a RETR answer carries it: dot-stuffed, ended by the "." line.
std::string AsRetrAnswer(const std::string& mail) {
  std::string answer;
  size_t at = 0;
  while (at < mail.size()) {
    size_t end = mail.find('\n', at);
    end = end == std::string::npos ? mail.size() : end + 1;
    if (mail[at] == '.') answer += '.';
    answer.append(mail, at, end - at);
    at = end;
  }
  return answer + ".\r\n";
}

}  // namespace

void ScriptedMailbox::RequireSession() {
  if (!open_) throw ENetConnClosedGracefully();
}

void ScriptedMailbox::Open() {
  steps.push_back("OPEN");
  if (openFails) throw ENetSocketError(10061, "Connection refused.");
  open_ = true;
  deleted_.clear();
}

int ScriptedMailbox::Count() {
  RequireSession();
  steps.push_back("STAT");
  return static_cast<int>(mails.size());
}

bool ScriptedMailbox::Retrieve(int number, TNetMessage& message) {
  RequireSession();
  steps.push_back("RETR " + std::to_string(number));
  const std::string& mail = mails.at(number - 1);
  const Fault fault = faults.empty() ? Fault::None : faults.front();
  if (!faults.empty()) faults.pop_front();
  raw_ = mail;
  switch (fault) {
    case Fault::None:
      break;
    case Fault::Refused:
      return false;
    case Fault::OverLimit:
      raw_ = mail.substr(0, mail.find("\r\n\r\n") + 4);
      open_ = false;
      throw ENetLimitExceeded("Message larger than the limit.");
    case Fault::Undecodable:
      throw ENetTableNotFound();
    case Fault::ConnectionLost:
      open_ = false;
      throw ENetSocketError(10054, "Connection reset by peer.");
    case Fault::ServerClosed:
      open_ = false;
      throw ENetConnClosedGracefully();
    case Fault::LocalFailure:
      throw std::runtime_error("Cannot create the temporary file.");
  }
  TNetStringLineReader reader(AsRetrAnswer(mail));
  if (ReadMessageHeader(reader, message, "")) ReadMessageBody(reader, message);
  return true;
}

void ScriptedMailbox::Delete(int number) {
  RequireSession();
  if (onDelete) onDelete();
  steps.push_back("DELE " + std::to_string(number));
  if (deletionsRefused > 0) {
    --deletionsRefused;
    throw ENetProtocolReplyError(0, "-ERR cannot delete");
  }
  deleted_.insert(number);
}

void ScriptedMailbox::Commit() {
  steps.push_back("QUIT");
  RequireSession();
  for (auto it = deleted_.rbegin(); it != deleted_.rend(); ++it) mails.erase(mails.begin() + (*it - 1));
  deleted_.clear();
  open_ = false;
}

void ScriptedMailbox::Abandon() {
  steps.push_back("ABANDON");
  deleted_.clear();
  open_ = false;
}

}  // namespace testing_support
