// The FTP client against scripted servers: the login dialogue and its failures, passive and
// active transfers with their replies, the work events, and every wait's time limit.
#include "net/ftp.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/errors.h"
#include "net/ftpparse.h"
#include "base/netexceptions.h"
#include "support/scripted_server.h"
#include "thrown.h"

using testing_support::ScriptedServer;

namespace {

// The address a PASV reply gives for a scripted data server.
std::string PassiveAddress(const ScriptedServer& data) {
  return "127,0,0,1," + std::to_string(data.Port() / 256) + "," + std::to_string(data.Port() % 256);
}

ScriptedServer& ScriptLogin(ScriptedServer& control) {
  return control.Send("220 ready\r\n")
      .Expect("user shop")
      .Send("331 password please\r\n")
      .Expect("pass secret")
      .Send("230 in\r\n")
      .Expect("type I")
      .Send("200 binary\r\n")
      .Expect("syst")
      .Send("215 UNIX Type: L8\r\n");
}

// A client logged in to a scripted control server, with a scripted data server for passive
// transfers.
struct FtpSession {
  ScriptedServer control;
  ScriptedServer data;
  TNetFTP ftp;

  FtpSession() {
    ftp.Host = "127.0.0.1";
    ftp.User = "shop";
    ftp.Password = "secret";
    ftp.Passive = true;
  }
  void Open() {
    control.Start();
    ftp.Port = control.Port();
    ftp.OpenAndLogIn(true);
  }
  // The control script up to the transfer command's reply.
  ScriptedServer& ScriptPassive(const std::string& pasvReply, const std::string& command) {
    return ScriptLogin(control)
        .Expect("PASV")
        .Send(pasvReply + "\r\n")
        .Expect(command)
        .Send("150 go ahead\r\n");
  }
  std::string PasvReply() { return "227 Entering Passive Mode (" + PassiveAddress(data) + ")."; }
  void Finish() {
    ftp.CloseConnection();
    control.Join();
    data.Join();
    EXPECT_TRUE(control.Failures().empty()) << control.Failures().front();
  }
};

// --- Data connection addresses ---

TEST(FtpAddresses, PassiveReplyWithAndWithoutParentheses) {
  struct Case {
    const char* line;
    const char* host;
    int port;
  } cases[] = {
      {"227 Entering Passive Mode (127,0,0,1,195,80).", "127.0.0.1", 50000},
      {"227 Entering Passive Mode (10,1,2,3,0,21) thanks (really)", "10.1.2.3", 21},
      {"227 Entering Passive Mode 192,168,0,9,1,0", "192.168.0.9", 256},
      {"  227 Passive 127,0,0,1,255,255 \r\n", "127.0.0.1", 65535},
      {"227 ok ( 127, 0, 0, 1, 4, 1)", "127.0.0.1", 1025},
      {"227 (127,0,0,1,4,1,99)", "127.0.0.1", 1025},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const TFtpDataAddress address = ParsePassiveReply(c.line);
    EXPECT_EQ(address.Host, c.host);
    EXPECT_EQ(address.Port, c.port);
  }
}

TEST(FtpAddresses, MalformedPassiveReplyFails) {
  for (const char* line : {"227 Entering Passive Mode (127,0,0,1,4)", "227 (127,0,0,x,4,1)",
                           "227 no address here", "227 )127,0,0,1,4,1("}) {
    SCOPED_TRACE(line);
    EXPECT_THROW(ParsePassiveReply(line), EConvertError);
  }
  // Numbers beyond a byte would make up a different port or address.
  auto e = Thrown<ENetProtocolReplyError>([] { ParsePassiveReply("227 (127,0,0,1,256,1)"); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->ReplyNumber, 227);
  EXPECT_THROW(ParsePassiveReply("227 (127,0,0,-1,4,1)"), ENetProtocolReplyError);
}

TEST(FtpAddresses, PortArgument) {
  EXPECT_EQ(FormatPortArgument("127.0.0.1", 50000), "127,0,0,1,195,80");
  EXPECT_EQ(FormatPortArgument("10.20.30.40", 255), "10,20,30,40,0,255");
  EXPECT_EQ(FormatPortArgument("10.20.30.40", 256), "10,20,30,40,1,0");
}

TEST(FtpAddresses, ExtendedPassiveReply) {
  const struct {
    const char* line;
    int port;  // 0: refused as a 229 reply error
  } cases[] = {
      {"229 Entering Extended Passive Mode (|||6446|)", 6446},
      {"229 Entering Extended Passive Mode (!!!1!).", 1},
      {"229 ok (|||65535|) and text after", 65535},
      {"229 Entering Extended Passive Mode (|||65536|)", 0},
      {"229 Entering Extended Passive Mode (|||0|)", 0},
      {"229 Entering Extended Passive Mode (|||x|)", 0},
      {"229 Entering Extended Passive Mode (||6446|)", 0},
      {"229 Entering Extended Passive Mode (|2|::1|6446|)", 0},
      {"229 Entering Extended Passive Mode (1116461)", 0},
      {"229 Entering Extended Passive Mode (|||6446!)", 0},
      {"229 Entering Extended Passive Mode |||6446|", 0},
      {"229 Entering Extended Passive Mode (|||6446|", 0},
  };
  for (const auto& c : cases) {
    if (c.port != 0) {
      EXPECT_EQ(ParseExtendedPassiveReply(c.line), c.port) << c.line;
      continue;
    }
    const auto e = Thrown<ENetProtocolReplyError>([&] { ParseExtendedPassiveReply(c.line); });
    ASSERT_TRUE(e.has_value()) << c.line;
    EXPECT_EQ(e->ReplyNumber, 229) << c.line;
  }
}

// --- Login ---

TEST(FtpLogin, SendsLowerCaseCommandsAndKeepsSystemText) {
  FtpSession s;
  ScriptLogin(s.control).Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
  bool connectedBeforeGreeting = false;
  s.ftp.OnConnected = [&](TNetComponent* sender) {
    connectedBeforeGreeting = sender == &s.ftp && s.ftp.ReplyLines.empty();
  };
  s.Open();
  EXPECT_TRUE(connectedBeforeGreeting);
  EXPECT_TRUE(s.ftp.IsOpen());
  EXPECT_EQ(s.ftp.SystemDescription(), " UNIX Type: L8");
  s.Finish();
  // The close ends the session with QUIT right after "syst".
  EXPECT_EQ(s.control.Received().substr(s.control.Received().rfind("syst")), "syst\r\nQUIT\r\n");
}

TEST(FtpLogin, UserAnswered230SendsNoPassword) {
  FtpSession s;
  s.control.Send("220 ready\r\n")
      .Expect("user shop")
      .Send("230 no password needed\r\n")
      .Expect("type I")
      .Send("200 ok\r\n")
      .Expect("syst")
      .Send("215 X\r\n")
      .Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
  s.Open();
  s.Finish();
  EXPECT_EQ(s.control.Received().find("pass"), std::string::npos);
}

TEST(FtpLogin, SystAnswered500IsUnknown) {
  FtpSession s;
  s.control.Send("220 ready\r\n")
      .Expect("user shop")
      .Send("331 pw\r\n")
      .Expect("pass secret")
      .Send("230 in\r\n")
      .Expect("type I")
      .Send("200 ok\r\n")
      .Expect("syst")
      .Send("500 unknown command\r\n")
      .Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
  s.Open();
  EXPECT_EQ(s.ftp.SystemDescription(), "Unknown");
  EXPECT_TRUE(s.ftp.IsOpen());
  s.Finish();
}

TEST(FtpLogin, WithoutLoginOnlyTheGreetingIsRead) {
  FtpSession s;
  s.control.Send("220 ready\r\n").Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
  s.control.Start();
  s.ftp.Port = s.control.Port();
  s.ftp.OpenAndLogIn(false);
  EXPECT_TRUE(s.ftp.IsOpen());
  s.Finish();
  EXPECT_EQ(s.control.Received(), "QUIT\r\n");
}

TEST(FtpLogin, RefusedStepClosesTheConnection) {
  struct Case {
    std::vector<std::string> replies;  // greeting, user, pass, type, syst
    int number;
    const char* text;
  } cases[] = {
      {{"421 too many users"}, 421, "421 too many users"},
      {{"220 hi", "530 who?"}, 530, "530 who?"},
      {{"220 hi", "331 pw", "530 Login incorrect."}, 530, "530 Login incorrect."},
      {{"220 hi", "331 pw", "331 again"}, 331, "331 again"},
      {{"220 hi", "331 pw", "230 in", "504 no such type"}, 504, "504 no such type"},
      {{"220 hi", "331 pw", "230 in", "200 ok", "502 not here"}, 502, "502 not here"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FtpSession s;
    bool disconnected = false;
    s.ftp.OnDisconnected = [&](TNetComponent*) { disconnected = true; };
    for (size_t i = 0; i < c.replies.size(); ++i) {
      if (i > 0) s.control.ReadLine();
      s.control.Send(c.replies[i] + "\r\n");
    }
    s.control.Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
    s.control.Start();
    s.ftp.Port = s.control.Port();
    auto e = Thrown<ENetProtocolReplyError>([&] { s.ftp.OpenAndLogIn(true); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ReplyNumber, c.number);
    EXPECT_STREQ(e->what(), c.text);
    EXPECT_TRUE(disconnected);
    EXPECT_FALSE(s.ftp.IsOpen());
    s.control.Join();
  }
}

TEST(FtpLogin, OpenWhileOpenFailsClosesAndNextOpenWorks) {
  FtpSession s;
  ScriptLogin(s.control).Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
  s.Open();
  auto e = Thrown<ENetAlreadyConnected>([&] { s.ftp.OpenAndLogIn(true); });
  ASSERT_TRUE(e);
  EXPECT_STREQ(e->what(), "Already connected.");
  EXPECT_FALSE(s.ftp.IsOpen());
  s.control.Join();  // the first server saw the close

  ScriptedServer second;
  ScriptLogin(second).Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
  second.Start();
  s.ftp.Port = second.Port();
  s.ftp.OpenAndLogIn(true);
  EXPECT_TRUE(s.ftp.IsOpen());
  s.ftp.CloseConnection();
  second.Join();
  EXPECT_TRUE(second.Failures().empty());
}

TEST(FtpLogin, ChangedTransferTypeIsSentWhileOpen) {
  FtpSession s;
  ScriptLogin(s.control)
      .Expect("type A")
      .Send("200 ascii\r\n")
      .Expect("QUIT")
      .Send("221 Goodbye.\r\n")
      .HoldUntilClientCloses();
  s.ftp.SetTransferType(ftBinary);  // unchanged and closed: nothing to send
  s.Open();
  s.ftp.SetTransferType(ftASCII);
  s.ftp.SetTransferType(ftASCII);  // unchanged: sent once only
  EXPECT_EQ(s.ftp.TransferType(), ftASCII);
  s.Finish();
  EXPECT_EQ(s.control.Lines(), (std::vector<std::string>{"user shop", "pass secret", "type I", "syst", "type A", "QUIT"}));
}

// --- Passive transfers ---

TEST(FtpPassive, StoreSendsTheStreamAndReportsWorkBeforeReturning) {
  FtpSession s;
  s.ScriptPassive(s.PasvReply() + " thanks", "STOR Recent.html")
      .Send("226 Transfer complete.\r\n")
      .Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
  s.data.HoldUntilClientCloses();
  s.data.Start();
  std::vector<std::string> events;
  TNetComponent* workSender = nullptr;
  s.ftp.OnWorkBegin = [&](TNetComponent* sender, TWorkMode mode, int64_t expected) {
    workSender = sender;
    events.push_back("begin " + std::to_string(mode) + " " + std::to_string(expected));
  };
  s.ftp.OnWorkEnd = [&](TNetComponent* sender, TWorkMode mode) {
    events.push_back(std::string("end ") + std::to_string(mode) +
                     (sender == s.ftp.TransferConnection() ? " transfer" : " other"));
  };
  s.Open();
  std::string page(100000, 'x');
  page += "\r\n<end>";
  std::istringstream stream(page);
  s.ftp.UploadStream(stream, "Recent.html", false);
  EXPECT_EQ(events, (std::vector<std::string>{"begin 1 " + std::to_string(page.size()),
                                              "end 1 transfer"}));
  EXPECT_NE(workSender, &s.ftp);
  EXPECT_EQ(s.ftp.TransferConnection(), nullptr);
  EXPECT_TRUE(s.ftp.IsOpen());
  s.Finish();
  EXPECT_EQ(s.data.Received(), page);
}

TEST(FtpPassive, AddressAfterLastSpaceAndStreamFromItsPosition) {
  FtpSession s;
  s.ScriptPassive("227 Entering Passive Mode " + PassiveAddress(s.data), "STOR page")
      .Send("250 ok\r\n")
      .Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
  s.data.HoldUntilClientCloses();
  s.data.Start();
  s.Open();
  std::istringstream stream("skip:rest of it");
  stream.seekg(5);
  s.ftp.UploadStream(stream, "page", false);
  s.Finish();
  EXPECT_EQ(s.data.Received(), "rest of it");
}

TEST(FtpPassive, EmptyStreamStillOpensClosesAndEndsWork) {
  FtpSession s;
  s.ScriptPassive(s.PasvReply(), "STOR empty")
      .Send("226 done\r\n")
      .Expect("QUIT")
      .Send("221 Goodbye.\r\n")
      .HoldUntilClientCloses();
  s.data.HoldUntilClientCloses();
  s.data.Start();
  int ends = 0;
  s.ftp.OnWorkEnd = [&](TNetComponent*, TWorkMode) { ++ends; };
  s.Open();
  std::istringstream stream("");
  s.ftp.UploadStream(stream, "empty", false);
  EXPECT_EQ(ends, 1);
  s.Finish();
  EXPECT_EQ(s.data.Received(), "");
  EXPECT_TRUE(s.data.Failures().empty());  // the data connection was made
}

TEST(FtpPassive, CommandFollowsNameAndAppend) {
  struct Case {
    const char* name;
    bool append;
    const char* command;
  } cases[] = {{"", false, "STOU "}, {"", true, "STOU "}, {"log.txt", true, "APPE log.txt"},
               {"a b.html", false, "STOR a b.html"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    FtpSession s;
    s.ScriptPassive(s.PasvReply(), c.command)
        .Send("226 ok\r\n")
        .Expect("QUIT")
        .Send("221 Goodbye.\r\n")
        .HoldUntilClientCloses();
    s.data.HoldUntilClientCloses();
    s.data.Start();
    s.Open();
    std::istringstream stream("data");
    s.ftp.UploadStream(stream, c.name, c.append);
    s.Finish();
    EXPECT_EQ(s.data.Received(), "data");
  }
}

TEST(FtpPassive, Completion426Then226Succeeds) {
  FtpSession s;
  s.ScriptPassive(s.PasvReply(), "STOR f")
      .Send("426 Connection closed; transfer aborted.\r\n")
      .Send("226 Closing data connection.\r\n")
      .Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
  s.data.HoldUntilClientCloses();
  s.data.Start();
  s.Open();
  std::istringstream stream("abc");
  s.ftp.UploadStream(stream, "f", false);
  EXPECT_EQ(s.ftp.ReplyNumber, 226);
  s.Finish();
}

TEST(FtpPassive, RefusalsFailAndLeaveTheControlConnectionOpen) {
  struct Case {
    const char* name;
    std::vector<std::string> replies;  // to PASV, the command, completion
    int number;
  } cases[] = {
      {"pasv refused", {"502 no passive"}, 502},
      {"store refused", {"", "553 Could not create file."}, 553},
      {"completion refused", {"", "150 go", "451 disk full"}, 451},
      {"426 then failure", {"", "150 go", "426 aborted\r\n451 failed"}, 451},
      // No 226 is coming: the upload fails at once instead of at the inactivity limit.
      {"426 alone", {"", "150 go", "426 Failure reading network stream."}, 426},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FtpSession s;
    ScriptLogin(s.control).Expect("PASV");
    s.control.Send((c.replies[0].empty() ? s.PasvReply() : c.replies[0]) + "\r\n");
    if (c.replies.size() > 1) s.control.Expect("STOR f").Send(c.replies[1] + "\r\n");
    if (c.replies.size() > 2) s.control.Send(c.replies[2] + "\r\n");
    s.control.Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
    if (c.replies[0].empty()) {  // a data connection is made
      s.data.HoldUntilClientCloses();
      s.data.Start();
    }
    s.Open();
    std::istringstream stream("abc");
    auto e = Thrown<ENetProtocolReplyError>([&] { s.ftp.UploadStream(stream, "f", false); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ReplyNumber, c.number);
    EXPECT_EQ(s.ftp.TransferConnection(), nullptr);
    EXPECT_TRUE(s.ftp.IsOpen());
    s.Finish();
  }
}

TEST(FtpPassive, MissingFileFailsBeforeAnythingIsSent) {
  FtpSession s;
  ScriptLogin(s.control).Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
  s.Open();
  EXPECT_THROW(s.ftp.UploadFile("no-such-file.html", "x", false), EFOpenError);
  EXPECT_THROW(s.ftp.UploadFile(".", "x", false), EFOpenError);  // a folder
  s.Finish();
  EXPECT_EQ(s.control.Lines(), (std::vector<std::string>{"user shop", "pass secret", "type I", "syst", "QUIT"}));
}

// --- Time limits ---

TEST(FtpLimits, UnansweredTransferCommandTimesOut) {
  FtpSession s;
  // The time-out closes the control connection: no QUIT follows.
  ScriptLogin(s.control).Expect("PASV").Send(s.PasvReply() + "\r\n").HoldUntilClientCloses();
  s.data.HoldUntilClientCloses();
  s.data.Start();
  s.ftp.InactivityTimeout = 300;
  s.Open();
  std::istringstream stream("abc");
  auto e = Thrown<ENetSocketError>([&] { s.ftp.UploadStream(stream, "f", false); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Code, 10060);
  EXPECT_EQ(s.ftp.TransferConnection(), nullptr);
  s.Finish();
}

TEST(FtpLimits, DataConnectionThatStopsReadingTimesOut) {
  FtpSession s;
  s.ScriptPassive(s.PasvReply(), "STOR big")
      .Expect("QUIT")
      .Send("221 Goodbye.\r\n")
      .HoldUntilClientCloses();
  s.data.Pause(60000);  // accepts, then reads nothing
  s.data.Start();
  s.ftp.InactivityTimeout = 300;
  s.Open();
  // More than the socket buffers of both ends can hold.
  std::istringstream stream(std::string(32 << 20, 'z'));
  auto e = Thrown<ENetSocketError>([&] { s.ftp.UploadStream(stream, "big", false); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Code, 10060);
  EXPECT_EQ(s.ftp.TransferConnection(), nullptr);
  EXPECT_TRUE(s.ftp.IsOpen());
  s.ftp.CloseConnection();
  s.control.Join();
}

TEST(FtpLimits, ActiveModeWaitsForTheServerOnlyAsLongAsTheLimit) {
  FtpSession s;
  s.ftp.Passive = false;
  ScriptLogin(s.control)
      .ReadLine()
      .Send("200 PORT ok\r\n")
      .Expect("STOR f")
      .Send("150 connecting\r\n")  // and never does
      .Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
  s.ftp.InactivityTimeout = 300;
  s.Open();
  std::istringstream stream("abc");
  auto e = Thrown<ENetSocketError>([&] { s.ftp.UploadStream(stream, "f", false); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Code, 10060);
  EXPECT_EQ(s.ftp.TransferConnection(), nullptr);
  EXPECT_TRUE(s.ftp.IsOpen());
  s.Finish();
  // "PORT h1,h2,h3,h4,p1,p2" with the control connection's local address and a real port.
  const std::string port = s.control.Lines().at(4);
  ASSERT_EQ(port.rfind("PORT 127,0,0,1,", 0), 0u) << port;
  const TFtpDataAddress address = ParsePassiveReply("227 " + port.substr(5));
  EXPECT_GT(address.Port, 0);
}

// --- Hostile servers and arguments ---

TEST(FtpPassive, DataGoesToTheControlPeerWhateverAddressThePasvReplyNames) {
  FtpSession s;
  // The scripted data server listens on 127.0.0.1 only: a connection to 127.0.0.2 fails.
  const std::string port = std::to_string(s.data.Port() / 256) + "," + std::to_string(s.data.Port() % 256);
  s.ScriptPassive("227 Entering Passive Mode (127,0,0,2," + port + ")", "STOR page")
      .Send("226 ok\r\n")
      .Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
  s.data.HoldUntilClientCloses();
  s.data.Start();
  s.Open();
  std::istringstream stream("the page");
  s.ftp.UploadStream(stream, "page", false);
  s.Finish();
  EXPECT_EQ(s.data.Received(), "the page");
}

TEST(FtpArguments, LineBreaksAreRefusedBeforeTheyAreSent) {
  for (const char* bad : {"a\r\nDELE x", "a\nb", "a\rb"}) {
    for (int field = 0; field < 3; ++field) {
      FtpSession s;
      if (field == 2) {
        ScriptLogin(s.control).Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
        s.control.Start();
      } else {
        // A bad user or password is refused before the client even connects: the server
        // is not started, so a connection would find nobody answering.
        (field == 0 ? s.ftp.User : s.ftp.Password) = bad;
      }
      s.ftp.Port = s.control.Port();
      if (field < 2) {
        auto e = Thrown<ENetException>([&] { s.ftp.OpenAndLogIn(true); });
        ASSERT_TRUE(e) << field;
        EXPECT_NE(std::string(e->what()).find("line break"), std::string::npos);
        EXPECT_FALSE(s.ftp.IsOpen());
      } else {
        s.ftp.OpenAndLogIn(true);
        std::istringstream stream("x");
        EXPECT_TRUE(Thrown<ENetException>([&] { s.ftp.UploadStream(stream, bad, false); }));
        s.ftp.CloseConnection();
      }
      s.control.Join();
      s.data.Join();
      // Nothing after the login reached the server, and no line of the bad text.
      EXPECT_EQ(s.control.Received().find("DELE"), std::string::npos);
      EXPECT_EQ(s.control.Received().find("STOR"), std::string::npos);
    }
  }
}

TEST(FtpArguments, PortsOutsideTheRangeFailAtConnect) {
  for (int port : {0, -1, 65536, 70000}) {
    TNetFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = port;
    auto e = Thrown<ENetException>([&] { ftp.OpenAndLogIn(false); });
    ASSERT_TRUE(e) << port;
    EXPECT_EQ(std::string(e->what()),
              "Port " + std::to_string(port) + " is out of range (1 to 65535).");
  }
}

TEST(FtpPassive, PasvReplyWithPortZeroFailsClearly) {
  FtpSession s;
  ScriptLogin(s.control).Expect("PASV").Send("227 Entering Passive Mode (127,0,0,1,0,0)\r\n")
      .Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
  s.Open();
  std::istringstream stream("x");
  auto e = Thrown<ENetException>([&] { s.ftp.UploadStream(stream, "page", false); });
  ASSERT_TRUE(e);
  EXPECT_NE(std::string(e->what()).find("out of range"), std::string::npos);
  s.ftp.CloseConnection();
  s.control.Join();
}

TEST(FtpActive, AcceptWithNothingPendingReturnsAtOnce) {
  ASSERT_TRUE(platform::StartSocketService());
  platform::TcpSocket listener = platform::TcpSocket::Create();
  ASSERT_TRUE(listener.Bind("127.0.0.1", 0));
  ASSERT_TRUE(listener.Listen(1));
  platform::TcpSocket none = listener.AcceptPending();
  EXPECT_FALSE(none.Valid());
  EXPECT_EQ(platform::LastSocketError(), platform::kSocketErrorWouldBlock);
}

}  // namespace

namespace {

// --- The end of a session ---

// QUIT goes out on every close of an open session; a server that stays silent or has gone
// does not make the close fail, and the socket is closed all the same.
TEST(FtpQuit, AnswerSilenceOrAGoneServerAllEndTheSession) {
  enum class Server { kAnswers, kSilent, kGone };
  const struct {
    const char* what;
    Server server;
    bool quitArrives;
  } cases[] = {
      {"answered", Server::kAnswers, true},
      {"no answer within the limit", Server::kSilent, true},
      {"server already gone", Server::kGone, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FtpSession s;
    ScriptLogin(s.control);
    if (c.server == Server::kAnswers) s.control.Expect("QUIT").Send("221 Goodbye.\r\n").HoldUntilClientCloses();
    if (c.server == Server::kSilent) s.control.HoldUntilClientCloses();
    if (c.server == Server::kGone) s.control.Close();
    s.ftp.InactivityTimeout = 300;
    s.Open();
    bool disconnected = false;
    s.ftp.OnDisconnected = [&](TNetComponent*) { disconnected = true; };
    if (c.server == Server::kGone) s.control.Join();
    s.ftp.CloseConnection();
    EXPECT_TRUE(disconnected);
    EXPECT_FALSE(s.ftp.IsOpen());
    s.control.Join();
    EXPECT_TRUE(s.control.Failures().empty()) << s.control.Failures().front();
    EXPECT_EQ(s.control.Received().find("QUIT\r\n") != std::string::npos, c.quitArrives);
  }
}

// Over IPv6 the data port comes from EPSV, and the data connection goes to the control
// connection's peer.
TEST(FtpPassive, ExtendedPassiveOverIPv6) {
  std::unique_ptr<ScriptedServer> control, data;
  try {
    control = std::make_unique<ScriptedServer>("::1");
    data = std::make_unique<ScriptedServer>("::1");
  } catch (const std::runtime_error& e) {
    GTEST_SKIP() << "this machine has no ::1: " << e.what();
  }
  ScriptLogin(*control)
      .Expect("EPSV")
      .Send("229 Entering Extended Passive Mode (|||" + std::to_string(data->Port()) + "|)\r\n")
      .Expect("STOR page.html")
      .Send("150 go\r\n")
      .Send("226 done\r\n")
      .Expect("QUIT")
      .Send("221 Goodbye.\r\n")
      .HoldUntilClientCloses();
  data->HoldUntilClientCloses();
  control->Start();
  data->Start();
  TNetFTP ftp;
  ftp.Host = "[::1]";
  ftp.Port = control->Port();
  ftp.User = "shop";
  ftp.Password = "secret";
  ftp.Passive = true;
  ftp.OpenAndLogIn(true);
  std::istringstream stream("<html>v6</html>");
  ftp.UploadStream(stream, "page.html", false);
  ftp.CloseConnection();
  control->Join();
  data->Join();
  EXPECT_TRUE(control->Failures().empty()) << control->Failures().front();
  EXPECT_EQ(data->Received(), "<html>v6</html>");
}

}  // namespace
