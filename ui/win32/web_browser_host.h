// The Internet Explorer WebBrowser control hosted in the browser control's
// container window with a minimal in-place client site (no storage, no
// menus, no border space). Right after creation it is set Silent, Offline
// and RegisterAsDropTarget, and not RegisterAsBrowser.
#pragma once

#include <windows.h>

#include "browser/browser_control.h"

struct IWebBrowser2;
struct IOleObject;

namespace brevane::win32 {

class WebBrowserHost final : public BrowserControl {
 public:
  WebBrowserHost() = default;
  ~WebBrowserHost() override;
  WebBrowserHost(const WebBrowserHost&) = delete;
  WebBrowserHost& operator=(const WebBrowserHost&) = delete;

  // Creates the control inside container (which must live on the calling
  // thread, initialised with OleInitialize). False when the system has no
  // WebBrowser control; the container then stays empty.
  bool Create(HWND container);
  bool created() const { return browser_ != nullptr; }

  // Navigate with flags 0 and an empty target frame, headers and post data.
  void Navigate(const Text& address) override;
  // The container's handle; 0 before Create.
  WindowHandle Handle() override;

 private:
  class Site;
  HWND container_ = nullptr;
  Site* site_ = nullptr;
  IOleObject* object_ = nullptr;
  IWebBrowser2* browser_ = nullptr;
};

}  // namespace brevane::win32
