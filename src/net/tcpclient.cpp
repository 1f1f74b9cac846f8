#include "net/tcpclient.h"

#include "base/netexceptions.h"
#include "base/numtext.h"
#include "net/netstack.h"

void TNetTCPClient::OpenConnection() {
  if (binding_.Allocated()) throw ENetAlreadyConnected();
  // Checked here, not cut to 16 bits by the socket call.
  if (Port < 1 || Port > 65535)
    throw ENetException("Port " + IntToStr(Port) + " is out of range (1 to 65535).");
  if (!platform::StartSocketService()) throw ENetStackInitializationFailed();
  binding_.Reset();
  receiveQueue_.Clear();
  closedByPeer_ = false;

  binding_.Socket = platform::TcpSocket::Create();
  if (!binding_.Allocated()) throw ENetInvalidSocket();
  try {
    if (!binding_.Socket.Bind(BoundIP, 0)) {
      int error = platform::LastSocketError();
      if (error == platform::kSocketErrorAddressInUse) throw ENetCouldNotBindSocket();
      RaiseSocketError(error);
    }
    if (!IsDottedQuad(Host)) DoStatus(nsResolving, Host);
    binding_.PeerIP = LookUpHost(Host, InactivityTimeout);
    binding_.PeerPort = Port;
    if (!UseNagle && !binding_.Socket.SetNoDelay()) RaiseSocketError(platform::LastSocketError());
    DoStatus(nsConnecting, binding_.PeerIP);
    if (!binding_.Socket.Connect(binding_.PeerIP, Port, InactivityTimeout) ||
        !binding_.Socket.SetSendTimeout(InactivityTimeout) ||
        !binding_.Socket.LocalAddress(binding_.IP, binding_.Port) ||
        !binding_.Socket.PeerAddress(binding_.PeerIP, binding_.PeerPort))
      RaiseSocketError(platform::LastSocketError());
    if (UseTLS == tlsImplicit) StartTLS();
  } catch (...) {
    // Nothing was exchanged yet, so no client goodbye is due: the socket is just closed.
    TNetTCPConnection::CloseConnection();
    throw;
  }
  DoStatus(nsConnected);
  if (OnConnected) OnConnected(this);
}
