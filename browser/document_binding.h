// The binding of the page shown in the browser: its top document and the
// documents of all its frames, kept from one load wait to the next and
// searched by every read, fill and click.
//
// The program has one binding for the whole process (ProcessDocumentBinding);
// tests construct their own. The binding belongs to the window thread: the
// login worker's browser calls are handed to that thread. Every walk over
// DocumentList works on a copy of the list, so a handler that rebinds while
// a wait is pausing cannot pull entries from under it.
#pragma once

#include <cstdint>
#include <vector>

#include "browser/dom.h"
#include "browser/limits.h"

namespace brevane {

class DocumentBinding {
 public:
  // Top document from the last bind attempt that got as far as asking the
  // document window for it.
  DomRef BoundDocument;
  // Top document first, then every frame document, depth first.
  std::vector<DomRef> DocumentList;
  // 0: frames through their frame elements; other values: through each
  // window's frames collection.
  int32_t FrameMode = 0;
  // Handle passed to the last successful bind.
  WindowHandle BoundWindow = 0;
  // Status of the last bind attempt's request for the top document
  // (dom_error::kFail when the attempt found no document window to ask).
  int32_t BindStatus = 0;

  // Binds the page shown in window (the document window itself or any
  // ancestor of it) and rebuilds DocumentList: 1 on success, 0 on failure. A
  // failure keeps the previous DocumentList and BoundWindow. A bind whose
  // deadline passes while it walks the frames fails and lists no document
  // (the page is not one to act on). At most kMaxDocuments
  // documents are listed, kMaxFrameDepth frames deep.
  int32_t BindDocument(Engine& engine, WindowHandle window, bool initialise_thread, int32_t frame_mode,
                       const Deadline& deadline = {});

  // Binds BoundWindow again when DocumentList is empty; otherwise nothing.
  void EnsureDocument(Engine& engine, const Deadline& deadline = {});

  // Forgets everything, as at program start.
  void Clear();
};

// The one binding the program uses.
DocumentBinding& ProcessDocumentBinding();

// Time-out for asking a document window for its document.
inline constexpr int32_t kDocumentRequestTimeoutMs = 1000;

// The document window at or below window: window itself when its class is
// exactly the document window class, else the first descendant, depth first,
// whose class name contains it; 0 when there is none.
WindowHandle FindDocumentWindow(Engine& engine, WindowHandle window);

}  // namespace brevane
