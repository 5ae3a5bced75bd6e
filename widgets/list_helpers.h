#pragma once

#include <QList>
#include <QPoint>
#include <QStringList>

class QTreeView;

// Report-style lists (one row per record, columns with captions).

// Full-row selection and the columns with captions, widths as fractions of the
// client width less 13 pixels of room for the scroll bar (truncated to whole
// pixels) and optional alignments.
void SetupListColumns(QTreeView* list, const QStringList& captions, const QList<double>& fractions,
                      const QList<Qt::Alignment>& alignments = {});
// The row whose rectangle contains the point (viewport coordinates), or -1.
int ItemAtPoint(const QTreeView* list, const QPoint& point);
// Selects and focuses a row and scrolls it into view; nothing for an empty list.
void SelectListItem(QTreeView* list, int index);
// The selected row, or -1.
int SelectedListItem(const QTreeView* list);
