#pragma once

#include <QString>
#include <QStringList>

class CKorvoDoc;
class CMainFrame;

// Grabs the workflow's entry screens (department, day, route, the route's scan
// screen, the three note lists and the packing-note entry) with a realistic
// work state, as PREFIX + name + ".png". Returns the names in order.
QStringList SaveEntryScreens(CMainFrame& frame, CKorvoDoc& doc, const QString& language,
                             const QString& prefix);

