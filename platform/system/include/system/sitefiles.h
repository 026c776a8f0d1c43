#pragma once

#ifndef _WIN32

#include <QString>
#include <QStringList>

#include <optional>
#include <sys/types.h>

// The files of the machine's shared data (settings hive, company site): a system group
// whose members use the program owns them; nobody else may read or change them, and no
// file is ever reached through a symbolic link planted in the folder.
namespace SiteFiles {

inline constexpr const char* GroupName = "tallymerge";
inline constexpr mode_t SharedFolderMode = 02770; // group members only; new files inherit the group
inline constexpr mode_t SharedFileMode = 0660;
inline constexpr mode_t PrivateFolderMode = 0700; // a user's own settings
inline constexpr mode_t PrivateFileMode = 0600;

// True when path itself (not what it points at) is a symbolic link.
bool isSymbolicLink(const QString& path);

// Opens path without following a symbolic link in its last part. A file made by this call
// gets exactly createMode (whatever the umask); an existing file keeps its mode. Returns
// the descriptor, or -1 with errno set (ELOOP for a link).
int openNoFollow(const QString& path, int flags, mode_t createMode);

// Creates the folder and any missing parents; the folders made get exactly mode. False
// when the folder is missing and cannot be made, or is a symbolic link.
bool makeFolder(const QString& path, mode_t mode);

// The group's ID, when the group exists.
std::optional<gid_t> groupId(const QString& name);

// Gives the tree under root (root included) to the group, owners kept: folders at most
// 2770 (with the set-group-ID bit), files at most 0660. No mode is ever loosened: a right
// is taken from other accounts, never given (a file kept 0600 stays 0600); symbolic links
// are neither followed nor changed. Returns one sentence per thing that could not be put
// right, none when the tree is as it should be; `notes` gets one sentence per entry whose
// kept mode leaves the group's members without full use of it.
QStringList secureTree(const QString& root, gid_t group, QStringList* notes = nullptr);

} // namespace SiteFiles

#endif
