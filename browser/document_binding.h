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

#include <cstddef>
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
  // For each listed document, the index in DocumentList of the document
  // whose frame holds it (0 for the top document itself).
  std::vector<std::size_t> DocumentParents;
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

// Whether the index-th of documents lies wholly in the top document's site
// (documents[0]): it and every document that holds it, following parents
// (DocumentParents of the same bind), are of the top document's site (by
// their URL) or have no site of their own. False when any of them belongs
// to another site, or the deadline passes: a reply or a click never goes
// into another site's document, nor into a page of the forum that another
// site's frame holds. A top document without a site of its own (a blank
// page) has only documents without one beside it.
bool OnTopSite(const std::vector<DomRef>& documents, const std::vector<std::size_t>& parents, std::size_t index,
               const Deadline& deadline = {});

// Time-out for asking a document window for its document.
inline constexpr int32_t kDocumentRequestTimeoutMs = 1000;

// The document window at or below window: window itself when its class is
// exactly the document window class, else the first descendant, depth first,
// whose class name contains it; 0 when there is none.
WindowHandle FindDocumentWindow(Engine& engine, WindowHandle window);

}  // namespace brevane
