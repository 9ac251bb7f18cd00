#include "browser/window_tree.h"

#include <algorithm>

namespace brevane {

WindowHandle WindowTree::Add(WindowHandle parent, std::string class_name) {
  const WindowHandle handle = next_;
  next_ += 4;  // spaced as a system's handles are
  Node node;
  node.class_name = std::move(class_name);
  if (auto up = windows_.find(parent); up != windows_.end()) {
    node.parent = parent;
    up->second.children.push_back(handle);
  }
  windows_.emplace(handle, std::move(node));
  return handle;
}

std::vector<WindowHandle> WindowTree::Remove(WindowHandle window) {
  std::vector<WindowHandle> removed;
  auto it = windows_.find(window);
  if (it == windows_.end()) return removed;
  const std::vector<WindowHandle> children = it->second.children;
  if (auto up = windows_.find(it->second.parent); up != windows_.end()) {
    std::vector<WindowHandle>& siblings = up->second.children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
  }
  windows_.erase(it);
  removed.push_back(window);
  for (WindowHandle child : children) {
    std::vector<WindowHandle> below = Remove(child);
    removed.insert(removed.end(), below.begin(), below.end());
  }
  return removed;
}

std::string WindowTree::ClassName(WindowHandle window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? std::string() : it->second.class_name.substr(0, 99);
}

std::vector<WindowHandle> WindowTree::Children(WindowHandle window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? std::vector<WindowHandle>{} : it->second.children;
}

}  // namespace brevane
