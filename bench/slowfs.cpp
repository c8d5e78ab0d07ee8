// A pass-through file system that answers every request after a fixed delay, standing in for a
// document tree on a file server: each lookup, open, read, flush and directory read costs one
// round trip, as over a network. Requests are served by many threads at once, so parallel readers
// overlap their waits as they would against a server.
//
//   qb_slowfs BACKING MOUNTPOINT [--delay-us=N] [FUSE options]
//
// Locks are not implemented here, so the kernel keeps flock locks locally (as on sshfs).
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace {

int g_backing = -1;  // the backing folder, opened once; every path is taken relative to it
long g_delayUs = 1000;

void Delay()
{
    if (g_delayUs <= 0)
        return;
    timespec ts { g_delayUs / 1000000, (g_delayUs % 1000000) * 1000 };
    while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
    }
}

// "/a/b" -> "a/b"; the root -> ".".
const char* Rel(const char* path)
{
    while (*path == '/')
        ++path;
    return *path ? path : ".";
}

int Err(int result)
{
    return result < 0 ? -errno : result;
}

void* Init(fuse_conn_info*, fuse_config* cfg)
{
    cfg->use_ino = 1;       // the backing inode numbers, so a file keeps its identity across opens
    cfg->hard_remove = 1;   // an open file that is removed or replaced goes at once, no hidden copy
    cfg->nullpath_ok = 1;
    return nullptr;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info* fi)
{
    Delay();
    if (fi)
        return Err(::fstat(int(fi->fh), st));
    return Err(::fstatat(g_backing, Rel(path), st, AT_SYMLINK_NOFOLLOW));
}

int ReadLink(const char* path, char* buf, size_t size)
{
    Delay();
    const ssize_t n = ::readlinkat(g_backing, Rel(path), buf, size - 1);
    if (n < 0)
        return -errno;
    buf[n] = 0;
    return 0;
}

int MkDir(const char* path, mode_t mode)
{
    Delay();
    return Err(::mkdirat(g_backing, Rel(path), mode));
}

int Unlink(const char* path)
{
    Delay();
    return Err(::unlinkat(g_backing, Rel(path), 0));
}

int RmDir(const char* path)
{
    Delay();
    return Err(::unlinkat(g_backing, Rel(path), AT_REMOVEDIR));
}

int SymLink(const char* target, const char* path)
{
    Delay();
    return Err(::symlinkat(target, g_backing, Rel(path)));
}

int Rename(const char* from, const char* to, unsigned int flags)
{
    Delay();
    if (flags)
        return -EINVAL;
    return Err(::renameat(g_backing, Rel(from), g_backing, Rel(to)));
}

int ChMod(const char* path, mode_t mode, fuse_file_info* fi)
{
    Delay();
    if (fi)
        return Err(::fchmod(int(fi->fh), mode));
    return Err(::fchmodat(g_backing, Rel(path), mode, 0));
}

int ChOwn(const char* path, uid_t uid, gid_t gid, fuse_file_info* fi)
{
    Delay();
    if (fi)
        return Err(::fchown(int(fi->fh), uid, gid));
    return Err(::fchownat(g_backing, Rel(path), uid, gid, AT_SYMLINK_NOFOLLOW));
}

int Truncate(const char* path, off_t size, fuse_file_info* fi)
{
    Delay();
    if (fi)
        return Err(::ftruncate(int(fi->fh), size));
    const int fd = ::openat(g_backing, Rel(path), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    const int result = Err(::ftruncate(fd, size));
    ::close(fd);
    return result;
}

int UTimeNs(const char* path, const timespec tv[2], fuse_file_info* fi)
{
    Delay();
    if (fi)
        return Err(::futimens(int(fi->fh), tv));
    return Err(::utimensat(g_backing, Rel(path), tv, AT_SYMLINK_NOFOLLOW));
}

int Open(const char* path, fuse_file_info* fi)
{
    Delay();
    const int fd = ::openat(g_backing, Rel(path), (fi->flags & ~O_NOFOLLOW) | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    fi->fh = uint64_t(fd);
    return 0;
}

int Create(const char* path, mode_t mode, fuse_file_info* fi)
{
    Delay();
    const int fd = ::openat(g_backing, Rel(path), fi->flags | O_CREAT | O_CLOEXEC, mode);
    if (fd < 0)
        return -errno;
    fi->fh = uint64_t(fd);
    return 0;
}

int Read(const char*, char* buf, size_t size, off_t offset, fuse_file_info* fi)
{
    Delay();
    return Err(int(::pread(int(fi->fh), buf, size, offset)));
}

int Write(const char*, const char* buf, size_t size, off_t offset, fuse_file_info* fi)
{
    Delay();
    return Err(int(::pwrite(int(fi->fh), buf, size, offset)));
}

int StatFs(const char*, struct statvfs* st)
{
    Delay();
    return Err(::fstatvfs(g_backing, st));
}

int Flush(const char*, fuse_file_info*)
{
    Delay(); // a close waits for the server's answer
    return 0;
}

int Release(const char*, fuse_file_info* fi)
{
    Delay();
    ::close(int(fi->fh));
    return 0;
}

int FSync(const char*, int dataOnly, fuse_file_info* fi)
{
    Delay();
    return Err(dataOnly ? ::fdatasync(int(fi->fh)) : ::fsync(int(fi->fh)));
}

int OpenDir(const char* path, fuse_file_info* fi)
{
    Delay();
    const int fd = ::openat(g_backing, Rel(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return -error;
    }
    fi->fh = uint64_t(reinterpret_cast<uintptr_t>(dir));
    return 0;
}

// The whole folder in one answer (the kernel asks again with the offset past the last entry, and
// that second request costs its own round trip).
int ReadDir(const char*, void* buf, fuse_fill_dir_t filler, off_t offset, fuse_file_info* fi, fuse_readdir_flags)
{
    Delay();
    DIR* dir = reinterpret_cast<DIR*>(uintptr_t(fi->fh));
    if (offset == 0)
        ::rewinddir(dir);
    else
        ::seekdir(dir, offset);
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st {};
        st.st_ino = entry->d_ino;
        st.st_mode = mode_t(entry->d_type) << 12;
        if (filler(buf, entry->d_name, &st, ::telldir(dir), fuse_fill_dir_flags(0)))
            break;
    }
    return 0;
}

int ReleaseDir(const char*, fuse_file_info* fi)
{
    Delay();
    ::closedir(reinterpret_cast<DIR*>(uintptr_t(fi->fh)));
    return 0;
}

fuse_operations Operations()
{
    fuse_operations ops {};
    ops.init = Init;
    ops.getattr = GetAttr;
    ops.readlink = ReadLink;
    ops.mkdir = MkDir;
    ops.unlink = Unlink;
    ops.rmdir = RmDir;
    ops.symlink = SymLink;
    ops.rename = Rename;
    ops.chmod = ChMod;
    ops.chown = ChOwn;
    ops.truncate = Truncate;
    ops.utimens = UTimeNs;
    ops.open = Open;
    ops.create = Create;
    ops.read = Read;
    ops.write = Write;
    ops.statfs = StatFs;
    ops.flush = Flush;
    ops.release = Release;
    ops.fsync = FSync;
    ops.opendir = OpenDir;
    ops.readdir = ReadDir;
    ops.releasedir = ReleaseDir;
    return ops;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args { argv[0] };
    const char* backing = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--delay-us=", 11) == 0)
            g_delayUs = std::atol(argv[i] + 11);
        else if (!backing && argv[i][0] != '-')
            backing = argv[i];
        else
            args.push_back(argv[i]);
    }
    if (!backing) {
        std::fprintf(stderr, "usage: %s BACKING MOUNTPOINT [--delay-us=N] [FUSE options]\n", argv[0]);
        return 2;
    }
    g_backing = ::open(backing, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g_backing < 0) {
        std::perror(backing);
        return 1;
    }
    const fuse_operations ops = Operations();
    return fuse_main(int(args.size()), args.data(), &ops, nullptr);
}
