// What every network component shares: the kind of progress work and the status events
// a connection reports while it resolves, connects and disconnects.
#pragma once
#include <functional>
#include <string>

enum TWorkMode { wmRead = 0, wmWrite = 1 };

enum TNetStatus {
  nsResolving = 0,      // "Resolving hostname %s."
  nsConnecting = 1,     // "Connecting to %s."
  nsConnected = 2,      // "Connected."
  nsDisconnecting = 3,  // "Disconnecting from %s."
  nsDisconnected = 4,   // "Not connected."
  nsStatusText = 5,     // "%s"
};

class TNetComponent {
 public:
  virtual ~TNetComponent() = default;
  std::function<void(TNetComponent* Sender, TNetStatus status, const std::string& text)> OnStatus;

 protected:
  // Fires OnStatus with the status's text, %s replaced by the argument.
  void DoStatus(TNetStatus status, const std::string& argument = "");
};
