// A stand-in for the Internet Explorer engine's side of the document route,
// for running the real MSHTML engine where there is no HTML engine (Wine
// without its Gecko package): the in-memory engine's pages served as real
// COM objects behind real windows.
//
// - Every document object (document, element, collection, frame window) is
//   an IDispatch: GetIDsOfNames gives each member name an identifier, and
//   Invoke calls the in-memory object the way the flags ask (get, method,
//   put, put by reference), with texts as BSTR through code page 936.
// - Documents also answer IHTMLDocument; frame windows answer
//   IServiceProvider with a web-browser service (IWebBrowser2) whose
//   get_Document gives the frame's document whatever its origin, as the
//   control's own frame windows do.
// - The top window's service is the hosted control: one object, whose
//   ready state and Busy are the in-memory control's, and which fires the
//   events that control records (BeforeNavigate2, DownloadBegin,
//   NavigateComplete2, DocumentComplete) to the DWebBrowserEvents2 sinks
//   connected to it, naming itself as their pDisp.
// - The window tree of a hosted control, down to a window of class
//   "Internet Explorer_Server", is made of real windows; the document window
//   answers the registered WM_HTML_GETOBJECT message with LresultFromObject
//   for the page its source names.
//
// LresultFromObject marshals for another process. Without the HTML engine
// no proxy for the document interface is registered, so the objects marshal
// themselves (IMarshal): the marshalled form is this process's id and the
// object's address, and the class that reads it back is registered for the
// lifetime of a DocumentDouble with CoRegisterClassObject. Only this process
// can unmarshal it; another process gets E_FAIL. Everything belongs to the
// thread that created the double (a single-threaded apartment).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>

#include "browser/browser_control.h"
#include "browser/dom.h"
#include "testing/memory/memory_engine.h"

namespace brevane::mshtml::testing {

// A COM object over one in-memory document object (documents answer
// IHTMLDocument, frame windows IServiceProvider). Returns a new reference;
// null for an empty object.
IDispatch* NewDispatchDouble(const DomRef& object);

// The in-memory object behind an object made by NewDispatchDouble; empty
// for any other COM object.
DomRef DoubledObject(IUnknown* object);

class DocumentDouble {
 public:
  // Serves whatever source gives at the moment of each request (nothing
  // when it gives an empty object). Initialises COM on the calling thread.
  explicit DocumentDouble(std::function<DomRef()> source);
  // Serves the page the in-memory engine shows in its standard document
  // window.
  explicit DocumentDouble(memory::MemoryEngine& engine);
  ~DocumentDouble();
  DocumentDouble(const DocumentDouble&) = delete;
  DocumentDouble& operator=(const DocumentDouble&) = delete;

  // main (popup) -> "Shell Embedding" -> "Shell DocObject View" ->
  // "Internet Explorer_Server".
  HWND main() const { return main_; }
  HWND control() const { return control_; }
  HWND document_window() const { return document_window_; }

  // Fires one of the control's events ("BeforeNavigate2 <address>",
  // "NavigateComplete2 <address>", "NavigateError <address>", ...) to the
  // sinks connected to the control, naming the control as pDisp, or, for a
  // frame's navigation, a frame's own browser object. Nothing before the
  // control has been asked for.
  void FireControlEvent(const std::string& event, bool top_frame);

  // Document requests the document window has answered.
  int requests() const { return requests_; }
  // The class registration made by this double succeeded.
  bool unmarshal_class_registered() const { return cookie_ != 0; }

 private:
  static LRESULT CALLBACK DocumentWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  std::function<DomRef()> source_;
  memory::StatePtr state_;  // the engine's, when the double serves one
  HWND main_ = nullptr;
  HWND control_ = nullptr;
  HWND document_window_ = nullptr;
  DWORD cookie_ = 0;
  int requests_ = 0;
  HRESULT com_ = E_FAIL;
};

// The hosted browser control over the double: navigation shows the served
// page through the in-memory browser, the handle is the double's real
// control window.
class DoubleBrowserControl : public BrowserControl {
 public:
  DoubleBrowserControl(memory::MemoryBrowser& browser, const DocumentDouble& double_)
      : browser_(browser), double_(double_) {}
  void Navigate(const Text& address) override { browser_.Navigate(address); }
  WindowHandle Handle() override { return reinterpret_cast<WindowHandle>(double_.control()); }

 private:
  memory::MemoryBrowser& browser_;
  const DocumentDouble& double_;
};

}  // namespace brevane::mshtml::testing
