// Pure text operations on paths, by POSIX rules ("/" separates, "\" is an
// ordinary character). Nothing here touches the disk; absolutePathName only
// asks for the current directory.
#pragma once

#include <string>

namespace platform {

// folder + "/" + name, with no "/" added when `folder` already ends in one;
// an empty `folder` gives `name` itself.
std::string joinPath(const std::string& folder, const std::string& name);

// The folder part of `path` ("" when it has none): "a/b.csv" -> "a",
// "/x" -> "/", "b.csv" -> "".
std::string parentFolderName(const std::string& path);

// The file name without folder and without its last extension:
// "/in/nodes.csv" -> "nodes", "archive.tar.gz" -> "archive.tar".
std::string baseName(const std::string& path);

// The file name without folder ("/in/nodes.csv" -> "nodes.csv").
std::string fileName(const std::string& path);

// `path` made absolute against the current directory, "." and ".." resolved
// as text ("/.." is "/"). Fails with Error 76 when the current directory no
// longer exists.
std::string absolutePathName(const std::string& path);

}  // namespace platform
