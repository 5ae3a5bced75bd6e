#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The handheld's file system, kept in one folder of the host (the device root).
//
// The rest of the program builds device paths exactly as the handheld does, with
// backslashes ("\Korvo_XML\Log\SettingsREQUEST.xml"); this class is the one place
// that turns them into host paths. Name matching is case-insensitive, as on the
// device. A device path can never leave the device root: "." and ".." components
// are refused, so no text from a server or a file can reach other host files.
class DeviceFileSystem {
public:
    struct Entry {
        QString name;
        bool isDirectory = false;
        bool isStorageCard = false;
    };

    // rootDir is created when missing. cards are the names of storage-card
    // folders directly under the root; a card counts as mounted while its folder
    // exists.
    explicit DeviceFileSystem(
        QString rootDir, QStringList cards = {},
        QString programPath = QStringLiteral("\\Program Files\\Korvo\\Korvo.exe"));

    const QString& rootDir() const { return root_; }
    const QString& programPath() const { return programPath_; }
    const QStringList& cardNames() const { return cards_; }

    // Host path of a device path, or an empty string when the path is unsafe.
    // Existing components are matched without regard to letter case; missing
    // ones keep the spelling given.
    QString hostPath(const QString& devicePath) const;

    bool exists(const QString& devicePath) const;
    bool isDirectory(const QString& devicePath) const;
    // Creates one directory; the parent must exist. An existing directory counts
    // as success.
    bool createDirectory(const QString& devicePath) const;
    bool removeFile(const QString& devicePath) const;
    // Moves a file or folder; fails when the target exists.
    bool move(const QString& fromDevicePath, const QString& toDevicePath) const;

    // Names (not paths) of the entries of a folder matching a pattern such as
    // "\Korvo_XML\*.xml" ('*' and '?' wildcards, case-insensitive), in name order.
    QStringList findFiles(const QString& devicePattern) const;
    // Root entries in name order; mounted cards carry isStorageCard.
    QList<Entry> rootEntries() const;
    // True for a non-empty name of a mounted storage card (letter case ignored).
    bool isStorageCard(const QString& name) const;

    // Whole file, or nothing when it cannot be opened or is larger than maxBytes.
    std::optional<QByteArray> readFile(const QString& devicePath, qint64 maxBytes) const;
    bool writeFile(const QString& devicePath, const QByteArray& bytes) const;
    bool appendFile(const QString& devicePath, const QByteArray& bytes) const;

    // Copies every file of hostDir (a folder or a Qt resource folder) into the
    // device folder when it is missing there; existing files are never
    // overwritten, since a site may have edited them.
    void installMissingFiles(const QString& hostDir, const QString& deviceDir) const;

    // The device of this process; set by the program at start-up and by tests.
    static DeviceFileSystem& current();
    static void setCurrent(DeviceFileSystem* fs);

private:
    QString resolveComponent(const QString& hostDir, const QString& name) const;

    QString root_;
    QStringList cards_;
    QString programPath_;
};

// Makes a device current for the lifetime of the guard (tests, tools).
class ScopedDevice {
public:
    explicit ScopedDevice(DeviceFileSystem& fs);
    ~ScopedDevice();
    ScopedDevice(const ScopedDevice&) = delete;
    ScopedDevice& operator=(const ScopedDevice&) = delete;

private:
    DeviceFileSystem* previous_;
};
