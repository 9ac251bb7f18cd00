// A made-up window tree where an engine has no windows of the system to
// search: each window a handle, a class name and its children in the order
// they were added, as the document binding walks them (FindDocumentWindow).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/window_handle.h"

namespace brevane {

class WindowTree {
 public:
  // A new window under parent (none when parent is not in the tree); its
  // handle, never 0 and never given twice.
  WindowHandle Add(WindowHandle parent, std::string class_name);
  // Removes the window and its descendants; the handles removed, the
  // window's own first.
  std::vector<WindowHandle> Remove(WindowHandle window);

  bool Has(WindowHandle window) const { return windows_.count(window) != 0; }
  // The class name as a 100-byte buffer holds it (99 bytes); empty for a
  // handle not in the tree.
  std::string ClassName(WindowHandle window) const;
  std::vector<WindowHandle> Children(WindowHandle window) const;

 private:
  struct Node {
    std::string class_name;
    WindowHandle parent = 0;
    std::vector<WindowHandle> children;
  };

  std::map<WindowHandle, Node> windows_;
  WindowHandle next_ = 0x10010;
};

}  // namespace brevane
