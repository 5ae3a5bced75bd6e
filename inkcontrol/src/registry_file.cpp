#include "registry_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace scribane {

namespace {

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

bool makeFolders(const std::string& path) {
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] != '/')
            continue;
        const std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

std::string formatRegistry(const RegistryKeys& keys) {
    std::string text = "; scribane class registry\n";
    for (const auto& [key, values] : keys) {
        text += "\n[" + key + "]\n";
        for (const auto& [name, value] : values)
            text += (name == "@" ? std::string("@") : quoted(name)) + "=" + quoted(value) + "\n";
    }
    return text;
}

void removeKeyTree(RegistryKeys& keys, const std::string& key) {
    KeyLess less;
    const std::string prefix = key + "\\";
    for (auto it = keys.begin(); it != keys.end();) {
        const std::string& k = it->first;
        const bool same = !less(k, key) && !less(key, k);
        const bool below = k.size() > prefix.size() && !less(k.substr(0, prefix.size()), prefix) &&
                           !less(prefix, k.substr(0, prefix.size()));
        it = same || below ? keys.erase(it) : std::next(it);
    }
}

bool updateRegistry(const std::string& path, const std::function<void(RegistryKeys&)>& change) {
    if (path.empty() || !makeFolders(path))
        return false;
    const std::string lockPath = path + ".lock";
    const int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0)
        return false;
    while (flock(lock, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(lock);
            return false;
        }
    }
    bool ok = false;
    try {
        RegistryKeys keys = readRegistry(path);
        change(keys);
        const std::string text = formatRegistry(keys);
        const std::string temp = path + ".tmp." + std::to_string(getpid());
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const bool written = writeAll(fd, text) && fsync(fd) == 0;
            ok = close(fd) == 0 && written && rename(temp.c_str(), path.c_str()) == 0;
            if (!ok)
                unlink(temp.c_str());
        }
    } catch (...) {
        ok = false;
    }
    flock(lock, LOCK_UN);
    close(lock);
    return ok;
}

} // namespace scribane
