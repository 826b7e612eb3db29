#include "Paths.h"

#include <vector>

#include "Env.h"

namespace platform {

namespace {

// `path` without trailing "/" (a path made only of "/" becomes "").
std::string_view withoutTrailingSlashes(std::string_view path) {
  const size_t last = path.find_last_not_of('/');
  return last == std::string_view::npos ? std::string_view() : path.substr(0, last + 1);
}

// Splits an absolute path into its names, dropping "." and applying "..".
std::vector<std::string_view> resolvedNames(std::string_view path) {
  std::vector<std::string_view> names;
  while (!path.empty()) {
    const size_t slash = path.find('/');
    const std::string_view name = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    if (name == "..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != ".") {
      names.push_back(name);
    }
  }
  return names;
}

}  // namespace

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string parentFolderName(const std::string& path) {
  const std::string_view trimmed = withoutTrailingSlashes(path);
  const size_t slash = trimmed.find_last_of('/');
  if (slash == std::string_view::npos) return "";
  const std::string_view parent = withoutTrailingSlashes(trimmed.substr(0, slash));
  return parent.empty() ? "/" : std::string(parent);
}

std::string fileName(const std::string& path) {
  const std::string_view trimmed = withoutTrailingSlashes(path);
  const size_t slash = trimmed.find_last_of('/');
  return std::string(slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1));
}

std::string baseName(const std::string& path) {
  const std::string name = fileName(path);
  const size_t dot = name.find_last_of('.');
  // A leading dot marks a hidden file, not an extension.
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string absolutePathName(const std::string& path) {
  const std::string full = !path.empty() && path.front() == '/' ? path : env()->currentFolder() + "/" + path;
  std::string out;
  for (std::string_view name : resolvedNames(full)) {
    out += '/';
    out += name;
  }
  return out.empty() ? "/" : out;
}

}  // namespace platform
