#include "platform/device_file_system.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <dirent.h>

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
    QByteArray bytes = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return bytes;
}

bool DeviceFileSystem::writeFile(const QString& devicePath, const QByteArray& bytes) const {
    const QString path = hostPath(devicePath);
    if (path.isEmpty()) {
        return false;
    }
    // Written aside and renamed, so a full card never leaves half a file behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool DeviceFileSystem::appendFile(const QString& devicePath, const QByteArray& bytes) const {
    const QString path = hostPath(devicePath);
    if (path.isEmpty()) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    return file.write(bytes) == bytes.size();
}

void DeviceFileSystem::installMissingFiles(const QString& hostDir, const QString& deviceDir) const {
    const QString target = hostPath(deviceDir);
    if (target.isEmpty() || !QDir().mkpath(target)) {
        return;
    }
    QDirIterator it(hostDir, QDir::Files);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        const QString device = deviceDir + QLatin1Char('\\') + name;
        if (exists(device)) {
            continue;
        }
        QFile source(it.filePath());
        if (source.open(QIODevice::ReadOnly)) {
            writeFile(device, source.readAll());
        }
    }
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
