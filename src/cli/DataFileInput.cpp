#include "cli/DataFileInput.h"

std::optional<int> readDataFile(CliContext &ctx, const QString &path, QChar separator, TextFilePoints &points)
{
    const QString quoted = u'"' + path + u'"';
    TextFileExtent extent;
    switch (TextDataFile::read(path, separator, ctx.texts(), extent, points)) {
    case TextReadStatus::CannotOpen:
        return ctx.fail(ExitCode::DataError, QStringLiteral("Cannot read %1.").arg(quoted));
    case TextReadStatus::TooManyLines:
        return ctx.fail(ExitCode::DataError, TextDataFile::tooManyLinesMessage());
    case TextReadStatus::NotDataFile:
        return ctx.fail(ExitCode::DataError, TextDataFile::notDataFileMessage(path));
    case TextReadStatus::Ok:
    case TextReadStatus::Cancelled:
        break;
    }
    if (points.filled == 0)
        return ctx.fail(ExitCode::DataError, QStringLiteral("%1 holds no data line.").arg(quoted));
    return std::nullopt;
}
