#include "net/sockethandle.h"

void TNetSocketHandle::Reset() {
  Socket.Close();
  IP.clear();
  Port = 0;
  PeerIP.clear();
  PeerPort = 0;
}
