#include "app/pagepublisher.h"

#include <cstdio>
#include <exception>

#include "base/files.h"
#include "base/logcodes.h"
#include "platform/system.h"
#include "publish/publication.h"
#include "publish/statuspage.h"

TPagePublisher::TPagePublisher(TParts parts) : parts_(std::move(parts)) {
  if (!ReadFileBytes(platform::FileInCurrentDirectory(kStalePageMarkName))) return;
  // The run that left the mark may have ended before it rendered the list it saved.
  renderDue_ = true;
  upload_ = TUpload::Due;
}

void TPagePublisher::ListChanged() {
  renderDue_ = true;
  MarkStale();
}

void TPagePublisher::Render() {
  if (parts_.abandoning()) return;
  RenderStatusPage(parts_.list, parts_.settings, parts_.houseMachine, platform::FileInCurrentDirectory(kPageFileName));
}

void TPagePublisher::Publish() {
  if (parts_.abandoning()) return;
  MarkStale();
  // One waiting upload is enough: it uploads item.html as it is when it runs.
  if (upload_ == TUpload::Waiting) return;
  if (parts_.clients.Busy(TNetClientKind::Ftp)) upload_ = TUpload::Waiting;
  parts_.clients.UseWhenFree(TNetClientKind::Ftp, [this] { Upload(); });
}

void TPagePublisher::Upload() {
  if (parts_.abandoning()) {
    upload_ = TUpload::Due;
    return;
  }
  upload_ = TUpload::Running;
  std::string failure;
  const bool stored = PublishPageFile(parts_.ftp, parts_.settings, platform::FileInCurrentDirectory(kPageFileName),
                                      parts_.awaitStatus, &failure);
  NoteUpload(stored);
  // An upload abandoned for the exit is no trouble of the server's.
  if (parts_.uploaded && !parts_.abandoning()) parts_.uploaded(stored, failure);
}

void TPagePublisher::NoteUpload(bool stored) {
  // A publication asked for while this one ran waits for the client now: it decides.
  // An upload abandoned for the exit counts as failed too: the next start publishes.
  if (upload_ == TUpload::Running) upload_ = stored ? TUpload::Done : TUpload::Due;
  // The mark goes only when the web space has the latest page: not while another upload
  // waits, nor when the list changed during this one.
  if (upload_ != TUpload::Done || renderDue_) return;
  std::remove(platform::FileInCurrentDirectory(kStalePageMarkName).c_str());
}

// The mark on disk serves the next start: when it cannot be written, the state still
// serves this run.
void TPagePublisher::MarkStale() {
  const std::string mark = platform::FileInCurrentDirectory(kStalePageMarkName);
  try {
    if (!ReadFileBytes(mark)) ReplaceFileBytes(mark, "");
  } catch (const std::exception&) {
  }
}

void TPagePublisher::EndCycle() {
  if (renderDue_) {
    try {
      Render();
    } catch (const std::exception& failure) {
      if (parts_.renderFailed) parts_.renderFailed(failure.what());
      parts_.log(kLogGetCsv);
      return;
    }
    renderDue_ = false;
    Publish();
  } else if (upload_ == TUpload::Due) {
    Publish();
  }
}
