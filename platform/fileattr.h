#pragma once
// Windows-style file attributes, read from the file system. Directories (also reached through a
// symbolic link) carry FILE_ATTRIBUTE_DIRECTORY, regular files FILE_ATTRIBUTE_ARCHIVE. A symbolic
// link whose target is gone carries FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, one
// that loops FILE_ATTRIBUTE_REPARSE_POINT alone.
#include <QString>
#include <cstdint>

constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;        // devices, pipes, sockets
constexpr std::uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400; // a link that leads nowhere
constexpr std::uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

// Attributes of the entry at path, or INVALID_FILE_ATTRIBUTES when it does not exist or cannot
// be queried. A dangling symbolic link exists; it is never a file.
std::uint32_t GetFileAttributesW(const QString& path);

// True when an entry exists at path (a dangling link included).
bool PathExists(const QString& path);

// True when path is base or lies below it (both real paths, "/" separated).
bool IsSameOrBelow(const QString& path, const QString& base);

// The working folder by its bytes ("/" when it cannot be read).
QString WorkingFolder();

// The file-system form of a path: its exact bytes (see filenames.h).
QByteArray NativePath(const QString& path);

// Removes a file; false when it could not be removed. Never removes a folder.
bool DeleteFileW(const QString& path);

// Creates one folder (no ancestors); false when it could not be created or already exists.
bool CreateDirectoryW(const QString& path);
