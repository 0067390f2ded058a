// File names as games write them, made into names of this system. Games were written on a system
// whose names use "\" between folders, may begin with a drive letter and ignore letter case; here
// names use "/", there is one tree, and case counts. The translation keeps every name that already
// works here unchanged.
#pragma once

#include <string>
#include <string_view>

namespace kestro::os {

// The name of this system for a game's file name:
//  - "\" becomes "/";
//  - a drive prefix "X:" is dropped: "C:\dir\f" names "/dir/f" (all drive letters share the one
//    tree), "C:f" names "f" in the current folder;
//  - when the name does not exist as written, each folder and the last part are matched against
//    the entries on disk without regard to letter case, from the first part on; the first part
//    that matches nothing, and everything after it, stay as written (a file to be created).
// An empty name stays empty.
std::string HostPath(std::string_view gameName);

// The name with "\" made "/" and the drive prefix handled as HostPath does, without looking at
// the disk.
std::string HostSpelling(std::string_view gameName);

// The absolute path `path` leads to once every "." and ".." and every symbolic link on the way is
// followed, also a link that is the last part and points to nothing yet (where writing would
// create the file). Parts that do not exist are taken as written. Empty when links loop.
std::string ResolvePath(const std::string& path);

// True when `path`, resolved as ResolvePath does, is `folder` (resolved too) or lies inside it.
bool ResolvesInside(const std::string& path, const std::string& folder);

// Letter case folded for comparing names: ASCII letters only, other bytes as they are.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace kestro::os
