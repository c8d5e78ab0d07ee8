#include "floors.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

thread_local char g_buffer[4096];
constexpr int kPathMax = 4096;

// a + "/" + b into out; false when it does not fit.
bool Join(char (&out)[kPathMax], const char* a, const char* b)
{
    const int n = std::snprintf(out, kPathMax, "%s/%s", a, b);
    return n > 0 && n < kPathMax;
}

long ReadWhole(const char* path, bool lock)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    if (lock && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return 0;
    }
    const ssize_t n = ::read(fd, g_buffer, sizeof g_buffer);
    ::close(fd);
    return n > 0 ? n : 0;
}

// Open, status, lock, read, close: the system calls of one read by the program.
long ReadRegularLocked(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return 0;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return 0;
    }
    const ssize_t n = ::pread(fd, g_buffer, sizeof g_buffer, 2);
    ::close(fd);
    return n > 0 ? n : 0;
}

// Runs one(path) for every path, readers threads each taking the next path in turn; the sum of
// what they return.
template <typename One>
long OnReaders(const std::vector<std::string>& paths, int readers, One one)
{
    std::atomic<size_t> next { 0 };
    std::atomic<long> total { 0 };
    const auto work = [&] {
        long mine = 0;
        for (size_t i = next++; i < paths.size(); i = next++)
            mine += one(paths[i]);
        total += mine;
    };
    std::vector<std::thread> threads;
    for (int i = 1; i < readers; ++i)
        threads.emplace_back(work);
    work();
    for (std::thread& thread : threads)
        thread.join();
    return total;
}

bool IsDots(const char* name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

bool IsFolder(int dirFd, const dirent* entry)
{
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK)
        return entry->d_type == DT_DIR;
    struct stat st;
    return ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

long ReadRow(const char* folder, bool lock)
{
    char path[kPathMax];
    long bytes = Join(path, folder, "Quillbrook.desc") ? ReadWhole(path, lock) : 0;
    return bytes + (Join(path, folder, "Quillbrook.Timer") ? ReadWhole(path, lock) : 0);
}

} // namespace

long ScanFloor(const std::string& root, bool lock)
{
    long bytes = 0;
    DIR* top = ::opendir(root.c_str());
    if (!top)
        return 0;
    while (const dirent* entry = ::readdir(top)) {
        if (IsDots(entry->d_name) || !IsFolder(::dirfd(top), entry))
            continue;
        char first[kPathMax];
        char desc[kPathMax];
        if (!Join(first, root.c_str(), entry->d_name) || !Join(desc, first, "Quillbrook.desc"))
            continue;
        struct stat st;
        if (::stat(desc, &st) == 0 && S_ISREG(st.st_mode)) {
            bytes += ReadRow(first, lock);
            continue;
        }
        DIR* sub = ::opendir(first);
        if (!sub)
            continue;
        bool any = false;
        while (const dirent* child = ::readdir(sub)) {
            if (IsDots(child->d_name) || !IsFolder(::dirfd(sub), child))
                continue;
            char second[kPathMax];
            if (Join(second, first, child->d_name))
                bytes += ReadRow(second, lock);
            any = true;
        }
        ::closedir(sub);
        if (!any)
            bytes += ReadRow(first, lock);
    }
    ::closedir(top);
    return bytes;
}

long ScheduleReadFloor(const std::vector<std::string>& folders, bool lock)
{
    long bytes = 0;
    char path[kPathMax];
    for (const std::string& folder : folders) {
        if (Join(path, folder.c_str(), "Quillbrook.Timer"))
            bytes += ReadWhole(path, lock);
    }
    return bytes;
}

long ParallelReadFloor(const std::vector<std::string>& paths, int readers, bool asTheProgram)
{
    return OnReaders(paths, readers, [asTheProgram](const std::string& path) {
        return asTheProgram ? ReadRegularLocked(path.c_str()) : ReadWhole(path.c_str(), false);
    });
}

namespace {

long FireOne(const std::string& path)
{
    char content[4096];
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const ssize_t n = ::read(fd, content, sizeof content);
    ::close(fd);
    if (n <= 0)
        return 0;
    const std::string temp = path + ".floor~";
    const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0)
        return 0;
    const bool ok = ::write(out, content, size_t(n)) == n && ::fsync(out) == 0;
    if (::close(out) != 0 || !ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return 0;
    }
    return n + ReadWhole(path.c_str(), false);
}

} // namespace

long ParallelFireFloor(const std::vector<std::string>& paths, int readers)
{
    return OnReaders(paths, readers, FireOne);
}

int SubstringFloor(const std::vector<std::u16string>& rows, const std::vector<std::u16string>& terms)
{
    int matching = 0;
    for (const std::u16string& row : rows) {
        const std::u16string_view text(row);
        int found = 0;
        for (const std::u16string& term : terms)
            if (!term.empty() && text.find(term) != std::u16string_view::npos)
                ++found;
        matching += found > 0;
    }
    return matching;
}
