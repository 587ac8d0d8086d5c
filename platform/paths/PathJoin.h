#pragma once
// Joining folders and file names. Paths use '/'; a folder value that came
// from a Windows-style setting may still end in '\', which counts as a
// separator too so that no second one is added.

#include <string>
#include <string_view>

namespace quorvane::platform {

bool EndsWithSeparator(std::string_view path);

// The folder with a separator at its end: '/' is added unless the folder
// already ends in '/' or '\'. An empty folder stays empty.
std::string WithTrailingSeparator(std::string_view folder);

// a + "/" + b with exactly one '/' where they meet.
std::string JoinPath(std::string_view a, std::string_view b);

// How the programs build the path of a program to start: folder value,
// separator, file name. Check leaves the separator out when the folder
// already ends in one; AlwaysInsert adds it regardless (harmless on Linux,
// where "a//b" names the same file as "a/b").
enum class FolderSeparator { Check, AlwaysInsert };
std::string FolderPlusFile(std::string_view folder, std::string_view file,
                           FolderSeparator rule = FolderSeparator::Check);

// The folder part of a path ("/usr/bin/x" gives "/usr/bin", "/x" gives "/",
// "x" gives "").
std::string ParentFolder(std::string_view path);

}  // namespace quorvane::platform
