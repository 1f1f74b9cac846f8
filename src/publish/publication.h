// Publication: the rendered page goes to the shop's web space by FTP.
#pragma once
#include <functional>
#include <string>

#include "base/settingsrecord.h"
#include "net/ftp.h"

// The states the publication waits for; the controller shows them in its status label.
constexpr char kLoggedIn[] = "LoggedIn";
constexpr char kTransferComplete[] = "Transfer Complete!";

// Uploads the file at pagePath as Target + ".html" with the FTP account of the settings;
// nothing when the FTP host is "NONE". awaitStatus is called with kLoggedIn after the login
// and with kTransferComplete after the store, and may throw to end the publication. Silent:
// a failure ends the publication without a message, and a connection it left open is
// closed, so the next publication connects afresh instead of failing with "Already
// connected.". failure, when given, receives the failure's text. Returns whether the server has the page now (true when there is no server).
bool PublishPageFile(TNetFTP& ftp, const TSettings& settings, const std::string& pagePath,
                     const std::function<void(const char* status)>& awaitStatus,
                     std::string* failure = nullptr);
