#pragma once

#include "core/archive/AuditTrail.h"
#include "core/base/Result.h"

#include <QList>
#include <QPageSize>
#include <QString>

// Writes audit entries into a PDF file, landscape, one entry a line (two
// when it has a reason) with its hash below, a heading that says which
// entries they are, and "Page N of M" at each page's foot. Written
// atomically, as a report is.
//
// Needs a QGuiApplication (fonts).
namespace AuditWriter {

// The pages written. heading: what the entries are ("Audit trail of ...,
// entries of kind review").
Result<int> write(const QList<AuditEntry> &entries, const QString &heading, const QString &path,
                  const QPageSize &pageSize);

} // namespace AuditWriter
