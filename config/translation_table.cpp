#include "config/translation_table.h"

#include "config/text_helpers.h"
#include "platform/prompter.h"

#include <QFile>

bool TranslationTable::LoadTranslations(const QString& devicePath) {
    WaitCursor wait;
    if (!entries_.isEmpty()) {
        return true;
    }
    return LoadFromText(ReadTextFile(devicePath));
}

bool TranslationTable::LoadFromText(const QString& text) {
    ClearTranslations();
    if (text.isEmpty()) {
        return false;
    }
    const qsizetype n = text.size();
    qsizetype p = 0;
    while (p < n) {
        const qsizetype eq = text.indexOf(QLatin1Char('='), p);
        if (eq < 0) {
            break;
        }
        // A line without "=" runs into the next line's key: the key stops at its
        // line feed, the text is taken after the next "=".
        qsizetype keyEnd = text.indexOf(QLatin1Char('\n'), p);
        if (keyEnd < 0 || keyEnd > eq) {
            keyEnd = eq;
        }
        const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), eq + 1);
        // A last line without a line feed is a translation like any other.
        const qsizetype textEnd = lineEnd < 0 ? n : lineEnd;
        const qsizetype next = lineEnd < 0 ? n : lineEnd + 1;
        CLanguage entry{text.mid(p, keyEnd - p), text.mid(eq + 1, textEnd - eq - 1)};
        if (!firstIndex_.contains(entry.key)) {
            firstIndex_.insert(entry.key, entries_.size());
        }
        entries_.append(std::move(entry));
        if (next <= p) {
            break;
        }
        p = next;
    }
    return !entries_.isEmpty();
}

QString TranslationTable::T(const QString& key) const {
    if (entries_.isEmpty()) {
        return QString();
    }
    const auto it = firstIndex_.constFind(key);
    if (it == firstIndex_.constEnd()) {
        return key + QStringLiteral(" Not Translated !");
    }
    return entries_.at(*it).text;
}

void TranslationTable::ClearTranslations() {
    entries_.clear();
    firstIndex_.clear();
}

QString TranslationFilePath(const QString& language) {
    return ProgramDirectory() + QStringLiteral("\\ZIRPA_") + language + QStringLiteral(".txt");
}

bool LoadShippedTranslations(TranslationTable& table, const QString& language) {
    if (!table.isEmpty()) {
        return true;
    }
    for (const QString& name : {language, QStringLiteral("English")}) {
        QFile file(kShippedTranslations + QStringLiteral("/ZIRPA_") + name +
                   QStringLiteral(".txt"));
        if (file.open(QIODevice::ReadOnly) && table.LoadFromText(FromAnsi(file.readAll()))) {
            return true;
        }
    }
    return false;
}
