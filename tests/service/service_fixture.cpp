#include "service_fixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

QString temporaryParent() {
    // Memory-backed when the machine has it: every call writes three files.
    return QFileInfo(QStringLiteral("/dev/shm")).isWritable()
               ? QStringLiteral("/dev/shm/korvane-service-XXXXXX")
               : QDir::tempPath() + QStringLiteral("/korvane-service-XXXXXX");
}

} // namespace

QString TranslationText() {
    static const char* const keys[] = {"msgErrInt",
                                       "msgAddressNotAvail",
                                       "msgErrIntHTTP",
                                       "msgIntErrReq",
                                       "msgInvalidIPWS",
                                       "msgConnected",
                                       "msgProcessRequest",
                                       "msgPleaseWait",
                                       "lblConnect",
                                       "lblHostIP",
                                       "lblPortNr",
                                       "lblImportDate",
                                       "msgRequestProcessedSuccessfully",
                                       "lblConSucces",
                                       "ErrInvalidUser",
                                       "ErrServerDown",
                                       "ErrServerDown1",
                                       "msgErrInt20",
                                       "msgErrInt60",
                                       "msgTimeOut",
                                       "msgURLInvalid",
                                       "msgIntErr12006",
                                       "msgServerNameInv",
                                       "msgIntErr12008",
                                       "msgIntErr12019",
                                       "msgIntErr12029",
                                       "msgIntErrConectionEnd",
                                       "msgIntErr12031",
                                       "msgIntErr12163",
                                       "msgErrIntNotDefined",
                                       "lblZIRPA",
                                       "lblYes",
                                       "lblNo",
                                       "msgPnOtherRoute",
                                       "msgPnFromRoute",
                                       "msgPnInsteadOf",
                                       "msgRouteDay",
                                       "msgPnContinue",
                                       "E100"};
    QString text;
    for (const char* key : keys) {
        text += QLatin1String(key) + QLatin1Char('=') + Tr(key) + QLatin1Char('\n');
    }
    return text + QStringLiteral("E200=\n");
}

ServiceTest::ServiceTest() : parent_(temporaryParent()) {
    fs_ = std::make_unique<DeviceFileSystem>(parent_.path() + QStringLiteral("/device"));
    device_ = std::make_unique<ScopedDevice>(*fs_);
    fs_->createDirectory(QStringLiteral("\\Korvo_XML"));
    fs_->createDirectory(QStringLiteral("\\Korvo_XML\\Log"));
    doc_.translations.LoadFromText(TranslationText());
    doc_.hostIp = server_.host();
    doc_.portNumber = server_.portText();
    doc_.webServicePath = QStringLiteral("qvr");
    transport_.setConnectTimeout(std::chrono::milliseconds(5000));
    transport_.setProbeTimeout(std::chrono::milliseconds(5000));
    transport_.setCallTimeout(std::chrono::milliseconds(5000));
    transport_.setMaxResponseBytes(ServiceTransport::kDefaultMaxResponseBytes);
}

ServiceTest::~ServiceTest() {
    // The server waits for open connections when it stops.
    transport_.Disconnect();
}

QByteArray ServiceTest::read(const QString& devicePath) const {
    QFile file(fs_->hostPath(devicePath));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ServiceTest::write(const QString& devicePath, const QByteArray& bytes) const {
    fs_->writeFile(devicePath, bytes);
}

QStringList ServiceTest::deviceFiles() const {
    QStringList files;
    QDirIterator it(parent_.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << QDir(parent_.path()).relativeFilePath(it.next());
    }
    files.sort();
    return files;
}
