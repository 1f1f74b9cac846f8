// The page publisher: renders the list into item.html and uploads it to the shop's web
// space, and keeps what is still due for the page until it is done:
// - the file: rendered, or due to be rendered again (the list changed and the render
//   failed);
// - the web space's copy: up to date, an upload due (the last one failed), an upload
//   waiting for the FTP client, or one running.
// The mark file item.unpublished is on disk from the moment the page is due to change (the
// list changed, an upload is asked for) until an upload of the latest page succeeded, so
// that a start after a failure, a crash or a power cut renders and uploads the page.
// Each poll cycle ends with one try at what is due: render (and then upload), or upload.
#pragma once
#include <functional>
#include <string>

#include "base/settingsrecord.h"
#include "intake/recentorders.h"
#include "net/ftp.h"
#include "ui/clientuse.h"

// The page the renderer writes and the publication uploads.
constexpr char kPageFileName[] = "item.html";
// Present while the page on the web space is older than the last page meant for it.
constexpr char kStalePageMarkName[] = "item.unpublished";

class TPagePublisher {
 public:
  // What the publisher works with; all of it stays the owner's.
  struct TParts {
    const TRecentOrders& list;
    const TSettings& settings;
    const bool& houseMachine;  // no credit on the page
    TNetFTP& ftp;
    TClientUse& clients;  // the FTP client is shared with the connection tests
    std::function<void(const char* status)> awaitStatus;  // see PublishPageFile
    std::function<bool()> abandoning;  // the program is leaving: nothing more is written
    std::function<void(int code)> log;
    // The health record's view (may be empty): an upload ended (with the failure's text),
    // the page could not be rendered.
    std::function<void(bool stored, const std::string& failure)> uploaded;
    std::function<void(const std::string& failure)> renderFailed;
  };

  // Finds the mark of a page an earlier run left stale: then a render and an upload are due.
  explicit TPagePublisher(TParts parts);

  // Renders item.html from the list now; a failure is thrown and leaves the file as it was.
  // Nothing while abandoning.
  void Render();
  // Uploads item.html as Target + ".html", silently (publish/publication.h). While the FTP
  // client is taken the upload waits for it; an upload already waiting takes the page as
  // it is when it runs, so none is queued twice. The mark file is written first; a failure
  // leaves an upload due, and the mark, until one succeeds.
  void Publish();
  // The list changed: the mark file is written, and the cycle's end renders the page and
  // uploads it.
  void ListChanged();
  // The end of a poll cycle: one try at what is due. A render that fails is logged and
  // tried again at the next cycle's end.
  void EndCycle();
  // The web space is behind item.html: the last upload failed, or one waits or runs.
  bool Stale() const { return upload_ != TUpload::Done; }

 private:
  enum class TUpload { Done, Due, Waiting, Running };
  void Upload();
  void NoteUpload(bool stored);
  void MarkStale();

  TParts parts_;
  bool renderDue_ = false;
  TUpload upload_ = TUpload::Done;
};
