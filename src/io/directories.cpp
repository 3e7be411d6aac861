// directories.cpp -- directory listings as sequences of 9-element entries
// (name, attributes, size, modification time), the working directory and
// changing it.  A listing reads the directory once, stat-ing each name
// against the open directory.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include "../core/core.h"
#include "io.h"

using namespace vorn::core;

namespace {

constexpr int32_t attr_read_only = 1;  // the owner may not write
constexpr int32_t attr_hidden = 2;     // a name starting with '.', except . and ..
constexpr int32_t attr_directory = 16;
constexpr int32_t entry_fields = 9;

int32_t attributes_of(const char *name, const struct stat &st)
{
    bool dots = std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
    int32_t bits = S_ISDIR(st.st_mode) ? attr_directory : 0;
    if ((st.st_mode & S_IWUSR) == 0)
        bits |= attr_read_only;
    if (name[0] == '.' && !dots)
        bits |= attr_hidden;
    return bits;
}

// A directory entry held once by its future container, its name (and a
// size double) held once by the entry.  The time is local; one the platform cannot convert gives
// zeros.  A size beyond the integer class comes back as an exact double.
handle make_entry_held(const char *name, const struct stat &st)
{
    struct tm t = {};
    time_t seconds = st.st_mtim.tv_sec;
    if (localtime_r(&seconds, &t) == nullptr)
        t = {};
    handle *w = alloc_words(entry_fields);
    w[0] = build_string(name);
    rec(w[0]).count = 1;
    w[1] = int_handle(attributes_of(name, st));
    w[2] = integer_or_double(st.st_size);
    take_ref(w[2]);
    int32_t date[6] = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
    for (int k = 0; k < 6; ++k)
        w[3 + k] = int_handle(date[k]);
    handle entry = make_sequence(w, entry_fields);
    rec(entry).count = 1;
    return entry;
}

// The entries found so far; the storage doubles when full and becomes the
// result's storage as it is.
struct entry_list {
    handle *w = nullptr;
    size_t n = 0, room = 0;

    void push_held(handle entry)
    {
        if (n == room) {
            room = room ? 2 * room : 64;
            w = static_cast<handle *>(std::realloc(w, room * sizeof(handle)));
        }
        w[n++] = entry;
    }
    // Drops every entry, keeping the storage.
    void clear()
    {
        for (size_t k = 0; k < n; ++k)
            drop_ref(w[k]);
        n = 0;
    }
    // The list as a new sequence, or -1 when it is empty.
    handle take_result()
    {
        if (n == 0) {
            std::free(w);
            return int_handle(-1);
        }
        return make_sequence(w, static_cast<int32_t>(n));
    }
};

// What a name in an open directory stands for: a link's target, or the link
// itself when the target is missing.
bool stat_in(int dir_fd, const char *name, struct stat &st)
{
    return fstatat(dir_fd, name, &st, 0) == 0 || fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Adds an entry for every name in `dir` that `pattern` matches (every name
// when it is null), in the order the directory gives them.  Nothing is added
// when the directory cannot be read.
void list_directory(const std::string &dir, const char *pattern, entry_list &out)
{
    DIR *d = opendir(dir.c_str());
    if (d == nullptr)
        return;
    int fd = dirfd(d);
    struct stat st;
    while (const struct dirent *e = readdir(d)) {
        if (pattern != nullptr && !___match(e->d_name, pattern))
            continue;
        if (stat_in(fd, e->d_name, st))
            out.push_held(make_entry_held(e->d_name, st));
    }
    closedir(d);
}

bool is_directory_entry(handle entry) { return (int_value(words(rec(entry))[1]) & attr_directory) != 0; }
std::string entry_name(handle entry)
{
    return reinterpret_cast<const char *>(bytes(rec(words(rec(entry))[0])));
}

// A wildcard in the last component: the matching names of its directory
// (matched as the names are written, case counting, as everything else in a
// file name does here); a single match that is a directory stands for its
// contents, as a plain directory name does.
void list_matches(const std::string &dir, const std::string &pattern, entry_list &out)
{
    list_directory(dir, pattern.c_str(), out);
    if (out.n != 1 || !is_directory_entry(out.w[0]))
        return;
    std::string inside = dir + "/" + entry_name(out.w[0]);
    out.clear();
    list_directory(inside, nullptr, out);
}

// The entries a path names: a directory's contents, a wildcard's matches,
// or the one entry of anything else that exists.
void list_path(const std::string &path, entry_list &out)
{
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    if (last.find_first_of("*?") != std::string::npos)
        return list_matches(dir, last, out);
    struct stat st;
    if (stat(path.c_str(), &st) != 0 && lstat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode))
        list_directory(path, nullptr, out);
    else
        out.push_held(make_entry_held(last.c_str(), st));
}

}  // namespace

extern "C" {

// The entries the path names, or -1 when there are none (nothing found, a
// missing or unreadable directory, the empty sequence).  Releases path.
VORN_API vorn_handle wrap_dir(vorn_handle path)
{
    if (!is_sequence(path))
        runtime_error("dir arg. must be a sequence\n");
    if (rec(path).length == 0) {
        release(path);
        return int_handle(-1);
    }
    std::string text = convert_string(path);
    release(path);
    entry_list out;
    tzset();  // entry times in the zone the environment names now
    list_path(text, out);
    return out.take_result();
}

// The working directory as a new string when it fits in 79 characters,
// else the integer 0.
VORN_API vorn_handle wrap_current_dir(void)
{
    constexpr size_t room = 80;
    unsigned char *data = alloc_bytes(room - 1);
    if (data == nullptr)
        return int_handle(0);
    if (getcwd(reinterpret_cast<char *>(data), room) == nullptr) {
        std::free(data);
        return int_handle(0);
    }
    return make_sequence(data, -static_cast<int32_t>(std::strlen(reinterpret_cast<char *>(data))));
}

// 0 when the working directory became the text of dir, -1 when not (the
// empty sequence and an atom are not tried).  Releases dir.
VORN_API int32_t wrap_change_dir(vorn_handle dir)
{
    int32_t result = -1;
    if (is_sequence(dir) && rec(dir).length != 0)
        result = chdir(convert_string(dir)) == 0 ? 0 : -1;
    release(dir);
    return result;
}

}  // extern "C"
