#pragma once

#include <QString>

// Diagnostics kept on the device: a monthly log file of caught errors and plain
// copies of the last request and answer of every message. Neither ever reports
// a failure or shows anything: logging must not disturb the work.

// Appends `message` (and, with `timestamp`, " date/time : " and LogTimestamp())
// as one line to "<root>\Korvo_XML\Log\Korvane_<yyyyMM>.log".
void WriteLog(const QString& storageRoot, const QString& message, bool timestamp = true);

// The current date in the short date format, five blanks, and the current time.
QString LogTimestamp();

// The monthly log file of a storage root for the current month.
QString LogFilePath(const QString& storageRoot);

// Replaces the file with the text in the ANSI code page.
void WriteTextFile(const QString& devicePath, const QString& text);
