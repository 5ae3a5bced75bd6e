#include "full_storage.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

ssize_t FailingWriter::writeSome(int fd, const char* data, size_t size) {
    if (budget_ <= 0) {
        errno = ENOSPC;
        return -1;
    }
    const size_t allowed = std::min<size_t>(size, static_cast<size_t>(budget_));
    const ssize_t n = DiskFileWriter::writeSome(fd, data, allowed);
    if (n > 0) {
        budget_ -= n;
    }
    return n;
}

SmallTmpfs::SmallTmpfs(int kibibytes) {
    if (::geteuid() != 0) {
        reason_ = QStringLiteral("mounting a small tmpfs needs root");
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(kibibytes) + "k,mode=0755";
    if (::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0,
                options.constData()) != 0) {
        reason_ = QStringLiteral("cannot mount a tmpfs here: ") +
                  QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    mounted_ = true;
}

SmallTmpfs::~SmallTmpfs() {
    if (mounted_) {
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
}

void SmallTmpfs::fill() {
    QFile filler(path() + QStringLiteral("/.filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        return;
    }
    const QByteArray block(512, 'f');
    while (filler.write(block) == block.size()) {
    }
    // The last few bytes of a block.
    while (filler.write("f", 1) == 1) {
    }
}

void SmallTmpfs::drain() {
    QFile::remove(path() + QStringLiteral("/.filler"));
}

bool SmallTmpfs::setReadOnly(bool readOnly) {
    const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    return mounted_ && ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", flags,
                               nullptr) == 0;
}
