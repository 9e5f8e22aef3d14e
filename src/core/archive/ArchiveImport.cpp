#include "core/archive/ArchiveImport.h"

#include "core/data/CollectionFile.h"

#include <QFileInfo>

namespace ArchiveImport {

QString dialogFilter()
{
    return QStringLiteral("Data Sets Collection (*.518) (*.518)");
}

Result<ArchiveOutcome> importFile(Archive &archive, const QString &path)
{
    const auto named = [&path](const Failure &f) { return Failure{f.code, path + QStringLiteral(": ") + f.message}; };
    qint64 size = 0;
    Result<QByteArray> image = CollectionFile::readImage(path, &size);
    if (!image)
        return named(image.failure());
    ArchiveDownload d = ArchiveDownload::here(*image, ArchiveSource::Import);
    d.expectedBytes = size;
    d.sourcePath = QFileInfo(path).absoluteFilePath();
    Result<ArchiveOutcome> added = archive.add(d);
    if (!added)
        return named(added.failure());
    return added;
}

Summary importFiles(Archive &archive, const QStringList &paths)
{
    Summary s;
    for (const QString &path : paths) {
        Result<ArchiveOutcome> added = importFile(archive, path);
        if (!added) {
            s.failures << added.message();
            continue;
        }
        ++s.filesArchived;
        s.archived.runs += added->runs;
    }
    return s;
}

} // namespace ArchiveImport
