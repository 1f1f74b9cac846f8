// The SChannel engine against the answers real Windows gives, played through the seam over
// the security package: incomplete messages, extra data, a server that asks for a client
// certificate, handshake messages after the handshake, the close notice, a record cut
// short (which the channel then takes as truncation when the connection ends: see
// tests/net/tls_cut_test.cpp). Wine's SChannel never gives some of them.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/schanneltls.h"

#include <wincrypt.h>  // after windows.h

namespace {

using platform::SspiCalls;

enum class Call { kInit, kDecrypt };

// One answer of the package: the call it expects, the status, and what it hands back.
struct Answer {
  Call call;
  SECURITY_STATUS status;
  std::string token = {};  // Init: the bytes for the server
  size_t extra = 0;        // the input's last bytes it leaves unused
  std::string plain = {};  // Decrypt: the record's plaintext
};

// Plays the answers in order and notes the input of each call; a call out of turn fails
// the test (a handshake record handed to DecryptMessage, for one).
class ScriptedSspi : public SspiCalls {
 public:
  explicit ScriptedSspi(std::vector<Answer> answers) : answers_(answers.begin(), answers.end()) {}
  std::vector<std::string> inputs;  // "init:<bytes>" or "decrypt:<bytes>"
  bool Done() const { return answers_.empty(); }

  SECURITY_STATUS InitializeContext(CredHandle*, CtxtHandle*, char*, SecBufferDesc* input, CtxtHandle*,
                                    SecBufferDesc* output) override {
    inputs.push_back("init:" + (input ? Bytes(input->pBuffers[0]) : ""));
    Answer a = Next(Call::kInit);
    if (!a.token.empty()) {
      output->pBuffers[0].pvBuffer = new char[a.token.size()];
      a.token.copy(static_cast<char*>(output->pBuffers[0].pvBuffer), a.token.size());
      output->pBuffers[0].cbBuffer = static_cast<unsigned long>(a.token.size());
    }
    if (input && a.extra > 0) input->pBuffers[1] = {static_cast<unsigned long>(a.extra), SECBUFFER_EXTRA, nullptr};
    return a.status;
  }
  SECURITY_STATUS Decrypt(CtxtHandle*, SecBufferDesc* message) override {
    SecBuffer& data = message->pBuffers[0];
    inputs.push_back("decrypt:" + Bytes(data));
    Answer a = Next(Call::kDecrypt);
    if (a.status == SEC_E_INCOMPLETE_MESSAGE) return a.status;
    data.BufferType = SECBUFFER_STREAM_HEADER;  // as SChannel marks the record's header
    plain_ = a.plain;
    message->pBuffers[1] = {static_cast<unsigned long>(plain_.size()), SECBUFFER_DATA, plain_.data()};
    if (a.extra > 0)
      message->pBuffers[3] = {static_cast<unsigned long>(a.extra), SECBUFFER_EXTRA,
                              static_cast<char*>(data.pvBuffer) + data.cbBuffer - a.extra};
    return a.status;
  }
  SECURITY_STATUS Encrypt(CtxtHandle*, SecBufferDesc*) override { return SEC_E_OK; }
  SECURITY_STATUS ApplyControlToken(CtxtHandle*, SecBufferDesc*) override { return SEC_E_UNSUPPORTED_FUNCTION; }
  SECURITY_STATUS QueryAttributes(CtxtHandle*, unsigned long attribute, void* buffer) override {
    if (attribute != SECPKG_ATTR_STREAM_SIZES) return SEC_E_UNSUPPORTED_FUNCTION;
    *static_cast<SecPkgContext_StreamSizes*>(buffer) = {5, 32, 16384, 4, 16};
    return SEC_E_OK;
  }
  void FreeBuffer(void* buffer) override { delete[] static_cast<char*>(buffer); }
  void DeleteContext(CtxtHandle*) override {}

 private:
  static std::string Bytes(const SecBuffer& b) {
    return b.pvBuffer ? std::string(static_cast<char*>(b.pvBuffer), b.cbBuffer) : std::string();
  }
  Answer Next(Call call) {
    if (answers_.empty() || answers_.front().call != call) {
      ADD_FAILURE() << "call out of turn after " << inputs.size() - 1 << " calls";
      return {call, SEC_E_INTERNAL_ERROR};
    }
    Answer a = answers_.front();
    answers_.pop_front();
    return a;
  }
  std::deque<Answer> answers_;
  std::string plain_;
};

std::unique_ptr<platform::TlsEngine> Engine(SspiCalls& sspi) {
  return platform::NewSChannelEngine(sspi, std::make_shared<platform::TlsResumeTicket>(),
                                     platform::TlsPeer{"shop.example", ""});
}

// Bytes from the server, then one call of the engine and its outcome.
struct Step {
  bool handshake;          // Handshake, else Decrypt
  std::string arrives;     // appended to the engine's input first
  int result;              // Handshake: 1, 0, -1; Decrypt: 1 ok, -1 broken
  std::string left;        // the input after the call
  std::string sent;        // all the engine had for the server so far
  std::string plain = {};  // Decrypt: plaintext so far
  bool closed = false;     // Decrypt: the close notice was taken
};

struct Row {
  const char* name;
  std::vector<Answer> answers;  // after the first call's "hello"
  std::vector<Step> steps;      // after the first step, which sends "hello"
  std::vector<std::string> inputs;
};

TEST(SChannel, PlaysTheAnswersOfRealWindowsInAnyOrder) {
  const Row rows[] = {
      {"incomplete message, then data behind the handshake",
       {{Call::kInit, SEC_E_INCOMPLETE_MESSAGE}, {Call::kInit, SEC_I_CONTINUE_NEEDED, "keys"}, {Call::kInit, SEC_E_OK, "", 3}},
       {{true, "SH", 0, "SH", "hello"}, {true, "SH2", 0, "", "hellokeys"}, {true, "FINdat", 1, "dat", "hellokeys"}},
       {"init:SH", "init:SHSH2", "init:FINdat"}},
      {"a server asking for an optional client certificate gets none; the handshake goes on",
       {{Call::kInit, SEC_I_INCOMPLETE_CREDENTIALS}, {Call::kInit, SEC_I_CONTINUE_NEEDED, "nocert"}, {Call::kInit, SEC_E_OK}},
       {{true, "CR", 0, "", "hellonocert"}, {true, "FIN", 1, "", "hellonocert"}},
       {"init:CR", "init:CR", "init:FIN"}},
      {"a server that insists on a client certificate fails the handshake",
       {{Call::kInit, SEC_I_INCOMPLETE_CREDENTIALS}, {Call::kInit, SEC_I_INCOMPLETE_CREDENTIALS},
        {Call::kInit, SEC_I_INCOMPLETE_CREDENTIALS}},
       {{true, "CR", -1, "CR", "hello"}},
       {"init:CR", "init:CR", "init:CR"}},
      {"a renegotiation runs through the handshake loop, never through DecryptMessage",
       {{Call::kInit, SEC_E_OK},
        {Call::kDecrypt, SEC_E_OK, "", 4, "a"},
        {Call::kDecrypt, SEC_I_RENEGOTIATE, "", 2},
        {Call::kInit, SEC_E_INCOMPLETE_MESSAGE},
        {Call::kInit, SEC_I_CONTINUE_NEEDED, "re"},
        {Call::kInit, SEC_E_OK, "", 2},
        {Call::kDecrypt, SEC_E_OK, "", 0, "b"}},
       {{true, "FIN", 1, "", "hello"},
        {false, "R1R2H1", 1, "H1", "hello", "a"},
        {false, "H2", 1, "", "hellore", "a"},
        {false, "H3R3", 1, "", "hellore", "ab"}},
       {"init:FIN", "decrypt:R1R2H1", "decrypt:R2H1", "init:H1", "init:H1H2", "init:H3R3", "decrypt:R3"}},
      {"a record cut short waits for its rest; the close notice ends the stream",
       {{Call::kInit, SEC_E_OK},
        {Call::kDecrypt, SEC_E_INCOMPLETE_MESSAGE},
        {Call::kDecrypt, SEC_E_OK, "", 2, "bye"},
        {Call::kDecrypt, SEC_I_CONTEXT_EXPIRED}},
       {{true, "FIN", 1, "", "hello"}, {false, "R", 1, "R", "hello"}, {false, "1CN", 1, "", "hello", "bye", true}},
       {"init:FIN", "decrypt:R", "decrypt:R1CN", "decrypt:CN"}},
      {"a record after the close notice ends the stream",
       {{Call::kInit, SEC_E_OK}, {Call::kDecrypt, SEC_E_CONTEXT_EXPIRED}},
       {{true, "FIN", 1, "", "hello"}, {false, "AFTER", 1, "AFTER", "hello", "", true}},
       {"init:FIN", "decrypt:AFTER"}},
      {"a broken record breaks the stream",
       {{Call::kInit, SEC_E_OK}, {Call::kDecrypt, SEC_E_DECRYPT_FAILURE}},
       {{true, "FIN", 1, "", "hello"}, {false, "XX", -1, "XX", "hello"}},
       {"init:FIN", "decrypt:XX"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<Answer> answers = {{Call::kInit, SEC_I_CONTINUE_NEEDED, "hello"}};
    answers.insert(answers.end(), row.answers.begin(), row.answers.end());
    ScriptedSspi sspi(answers);
    auto engine = Engine(sspi);
    std::string in, out, plain, detail;
    bool closed = false;
    ASSERT_EQ(engine->Handshake(in, out, detail), 0);
    for (size_t i = 0; i < row.steps.size(); ++i) {
      const Step& step = row.steps[i];
      SCOPED_TRACE(i);
      in += step.arrives;
      int result =
          step.handshake ? engine->Handshake(in, out, detail) : (engine->Decrypt(in, plain, closed, out) ? 1 : -1);
      EXPECT_EQ(result, step.result);
      EXPECT_EQ(in, step.left);
      EXPECT_EQ(out, step.sent);
      EXPECT_EQ(plain, step.plain);
      EXPECT_EQ(closed, step.closed);
    }
    std::vector<std::string> inputs = {"init:"};
    inputs.insert(inputs.end(), row.inputs.begin(), row.inputs.end());
    EXPECT_EQ(sspi.inputs, inputs);
    EXPECT_TRUE(sspi.Done());
  }
}

TEST(SChannel, AnUnknownRevocationStatusIsNoRefusal) {
  const struct {
    DWORD bits;
    platform::TlsFailure failure;
  } rows[] = {
      {0, platform::TlsFailure::kNone},
      {CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION, platform::TlsFailure::kNone},
      {CERT_TRUST_IS_REVOKED, platform::TlsFailure::kNotTrusted},
      {CERT_TRUST_IS_REVOKED | CERT_TRUST_REVOCATION_STATUS_UNKNOWN, platform::TlsFailure::kNotTrusted},
      {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, platform::TlsFailure::kNotTrusted},
      {CERT_TRUST_IS_UNTRUSTED_ROOT, platform::TlsFailure::kNotTrusted},
      {CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_OFFLINE_REVOCATION, platform::TlsFailure::kExpired},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.bits);
    platform::TlsOutcome outcome = platform::ChainVerdict(row.bits);
    EXPECT_EQ(outcome.Failure, row.failure);
    EXPECT_EQ(outcome.Detail.find("revoked") != std::string::npos, (row.bits & CERT_TRUST_IS_REVOKED) != 0);
  }
}

}  // namespace
#endif
