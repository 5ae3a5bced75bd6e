// The translation-table loader: a translation file's bytes, read in the ANSI
// code page, parsed into the table and looked up. Built with KORVANE_FUZZ=ON.
#include "config/translation_table.h"

#include "config/text_helpers.h"
#include "fuzz_device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzDevice device;
    static const QString path = TranslationFilePath(QStringLiteral("Fuzz"));
    static const QString host = device.fs.hostPath(path);
    // The real reading path: a file next to the program.
    QFile file(host);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return 0;
    }
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();

    TranslationTable table;
    table.LoadTranslations(path);
    // Every key it holds finds its first text; a few it may not hold.
    for (const CLanguage& entry : table.entries()) {
        if (table.T(entry.key).isNull() && !table.isEmpty()) {
            __builtin_trap();
        }
    }
    for (const char* key : {"lblTitleStartScreen", "msgTryAgain", "", "="}) {
        table.T(QLatin1String(key));
    }
    // Loading once more changes nothing.
    const qsizetype count = table.entries().size();
    table.LoadTranslations(path);
    if (table.entries().size() != count) {
        __builtin_trap();
    }
    return 0;
}
