#include "platform/device_file_system.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

DeviceFileSystem* g_current = nullptr;

// The components of a device path; either slash separates, empty components
// are skipped. "." and ".." (and a zero character) make the path unsafe.
QStringList deviceComponents(const QString& devicePath, bool* ok) {
    *ok = true;
    QStringList parts;
    qsizetype begin = 0;
    const qsizetype n = devicePath.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && devicePath.at(i) != QLatin1Char('\\') &&
            devicePath.at(i) != QLatin1Char('/')) {
            continue;
        }
        if (i > begin) {
            const QString part = devicePath.mid(begin, i - begin);
            if (part == QLatin1String(".") || part == QLatin1String("..") ||
                part.contains(QChar(0))) {
                *ok = false;
                return {};
            }
            parts << part;
        }
        begin = i + 1;
    }
    return parts;
}

// The platform's "*.*" matches every name, with or without a dot.
QString hostWildcard(const QString& pattern) {
    return pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern;
}

} // namespace

DeviceFileSystem::DeviceFileSystem(QString rootDir, QStringList cards, QString programPath)
    : root_(QDir(rootDir).absolutePath()), cards_(std::move(cards)),
      programPath_(std::move(programPath)) {
    QDir().mkpath(root_);
    const int cut = programPath_.lastIndexOf(QLatin1Char('\\'));
    if (cut > 0) {
        const QString dir = hostPath(programPath_.left(cut));
        if (!dir.isEmpty()) {
            QDir().mkpath(dir);
        }
    }
}

QString DeviceFileSystem::resolveComponent(const QString& hostDir, const QString& name) const {
    const QString exact = hostDir + QLatin1Char('/') + name;
    if (QFileInfo::exists(exact)) {
        return exact;
    }
    // Another spelling of the name; the first in name order when several
    // differ only by letter case. Read straight from the directory: a miss is
    // common (a file about to be created) and should cost little.
    QString found;
    DIR* dir = ::opendir(QFile::encodeName(hostDir).constData());
    if (dir == nullptr) {
        return QString();
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QString candidate = QFile::decodeName(entry->d_name);
        if (candidate.compare(name, Qt::CaseInsensitive) == 0 && candidate != QLatin1String(".") &&
            candidate != QLatin1String("..") && (found.isEmpty() || candidate < found)) {
            found = candidate;
        }
    }
    ::closedir(dir);
    return found.isEmpty() ? QString() : hostDir + QLatin1Char('/') + found;
}

QString DeviceFileSystem::hostPath(const QString& devicePath) const {
    bool ok = false;
    const QStringList parts = deviceComponents(devicePath, &ok);
    if (!ok) {
        return QString();
    }
    QString path = root_;
    bool resolving = true;
    for (const QString& part : parts) {
        if (resolving) {
            const QString found = resolveComponent(path, part);
            if (!found.isEmpty()) {
                path = found;
                continue;
            }
            resolving = false;
        }
        path += QLatin1Char('/') + part;
    }
    return path;
}

bool DeviceFileSystem::exists(const QString& devicePath) const {
    const QString path = hostPath(devicePath);
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool DeviceFileSystem::isDirectory(const QString& devicePath) const {
    const QString path = hostPath(devicePath);
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool DeviceFileSystem::createDirectory(const QString& devicePath) const {
    const QString path = hostPath(devicePath);
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(path);
    if (info.isDir()) {
        return true;
    }
    return QDir().mkdir(path);
}

bool DeviceFileSystem::removeFile(const QString& devicePath) const {
    const QString path = hostPath(devicePath);
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        return false;
    }
    return QFile::remove(path);
}

bool DeviceFileSystem::move(const QString& fromDevicePath, const QString& toDevicePath) const {
    const QString from = hostPath(fromDevicePath);
    const QString to = hostPath(toDevicePath);
    if (from.isEmpty() || to.isEmpty() || !QFileInfo::exists(from) || QFileInfo::exists(to)) {
        return false;
    }
    return QDir().rename(from, to);
}

QStringList DeviceFileSystem::findFiles(const QString& devicePattern) const {
    QString pattern = devicePattern;
    pattern.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const int cut = pattern.lastIndexOf(QLatin1Char('\\'));
    const QString folder = cut >= 0 ? pattern.left(cut) : QString();
    const QString wildcard = hostWildcard(pattern.mid(cut + 1));
    if (wildcard.isEmpty()) {
        return {};
    }
    const QString dir = hostPath(folder);
    if (dir.isEmpty()) {
        return {};
    }
    return QDir(dir).entryList(
        {wildcard}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDir::Name | QDir::IgnoreCase);
}

QList<DeviceFileSystem::Entry> DeviceFileSystem::rootEntries() const {
    QList<Entry> entries;
    const QFileInfoList infos = QDir(root_).entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                              QDir::System | QDir::NoDotAndDotDot,
                                                          QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : infos) {
        Entry e;
        e.name = info.fileName();
        e.isDirectory = info.isDir();
        e.isStorageCard = e.isDirectory && cards_.contains(e.name, Qt::CaseInsensitive);
        entries << e;
    }
    return entries;
}

bool DeviceFileSystem::isStorageCard(const QString& name) const {
    if (name.isEmpty() || !cards_.contains(name, Qt::CaseInsensitive)) {
        return false;
    }
    const QString found = resolveComponent(root_, name);
    return !found.isEmpty() && QFileInfo(found).isDir();
}

std::optional<QByteArray> DeviceFileSystem::readFile(const QString& devicePath,
                                                     qint64 maxBytes) const {
    const QString path = hostPath(devicePath);
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxBytes) {
        return std::nullopt;
    }
    // Read what the file holds: asking for maxBytes would reserve that much
    // (16 MiB for a text file) on every read.
    QByteArray bytes = file.read(std::min(maxBytes, std::max<qint64>(file.size(), 1)));
    while (bytes.size() < maxBytes && !file.atEnd() && file.error() == QFileDevice::NoError) {
        const QByteArray more = file.read(std::min<qint64>(maxBytes - bytes.size(), 65536));
        if (more.isEmpty()) {
            break;
        }
        bytes += more;
    }
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return bytes;
}

FileWriter& DeviceFileSystem::writer() const {
    static DiskFileWriter disk;
    return writer_ != nullptr ? *writer_ : disk;
}

bool DeviceFileSystem::writeFile(const QString& devicePath, const QByteArray& bytes) const {
    const QString path = hostPath(devicePath);
    return !path.isEmpty() && writer().replace(path, bytes);
}

bool DeviceFileSystem::appendFile(const QString& devicePath, const QByteArray& bytes) const {
    const QString path = hostPath(devicePath);
    return !path.isEmpty() && writer().append(path, bytes);
}

bool DeviceFileSystem::isWritable(const QString& deviceDir) const {
    QString path = hostPath(deviceDir);
    if (path.isEmpty()) {
        return false;
    }
    while (!QFileInfo::exists(path) && path.size() > root_.size()) {
        path = QFileInfo(path).absolutePath();
    }
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

bool DeviceFileSystem::installMissingFiles(const QString& hostDir, const QString& deviceDir) const {
    const QString target = hostPath(deviceDir);
    if (target.isEmpty() || !QDir().mkpath(target)) {
        return false;
    }
    bool complete = true;
    QDirIterator it(hostDir, QDir::Files);
    while (it.hasNext()) {
        it.next();
        const QString device = deviceDir + QLatin1Char('\\') + it.fileName();
        const QString present = hostPath(device);
        // Only a file with something readable in it counts: a full card once
        // left empty copies behind, and those are repaired here.
        QFile installed(present);
        if (installed.size() > 0 && installed.open(QIODevice::ReadOnly) &&
            !installed.read(1).isEmpty()) {
            continue;
        }
        QFile source(it.filePath());
        if (!source.open(QIODevice::ReadOnly) || !writeFile(device, source.readAll())) {
            complete = false;
        }
    }
    return complete;
}

DeviceFileSystem& DeviceFileSystem::current() {
    Q_ASSERT(g_current != nullptr);
    return *g_current;
}

void DeviceFileSystem::setCurrent(DeviceFileSystem* fs) {
    g_current = fs;
}

ScopedDevice::ScopedDevice(DeviceFileSystem& fs) : previous_(g_current) {
    g_current = &fs;
}

ScopedDevice::~ScopedDevice() {
    g_current = previous_;
}

namespace {

QByteArray hostName(const QString& path) {
    return QFile::encodeName(path);
}

} // namespace

ssize_t DiskFileWriter::writeSome(int fd, const char* data, size_t size) {
    return ::write(fd, data, size);
}

bool DiskFileWriter::writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t n = writeSome(fd, data, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool DiskFileWriter::replace(const QString& hostPath, const QByteArray& bytes) {
    const QByteArray target = hostName(hostPath);
    const QFileInfo info(hostPath);
    // Beside the target, so the rename stays on one file system; hidden, so a
    // listing of the folder does not offer it while it exists.
    QByteArray temp =
        hostName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // Keep the permissions of the file replaced; a new one gets the usual 0644.
    struct stat old {};
    ::fchmod(fd, ::stat(target.constData(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    bool ok = writeAll(fd, bytes) && ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temp.constData());
    }
    return ok;
}

bool DiskFileWriter::append(const QString& hostPath, const QByteArray& bytes) {
    const QByteArray target = hostName(hostPath);
    struct stat before {};
    const bool existed = ::stat(target.constData(), &before) == 0;
    const int fd = ::open(target.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = writeAll(fd, bytes);
    if (!ok && existed) {
        // No half line: the file goes back to exactly what it was.
        (void)::ftruncate(fd, before.st_size);
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok && !existed) {
        ::unlink(target.constData());
    }
    return ok;
}
