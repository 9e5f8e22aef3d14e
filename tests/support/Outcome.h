#pragma once

#include "core/base/Result.h"

#include <QString>

// A result as a word, for QCOMPARE and data-driven rows: "ok", or the kind of
// failure ("damaged", "no data", ...). A mismatch then prints both words.
inline QString outcomeName(ErrorCode code)
{
    switch (code) {
    case ErrorCode::Usage: return QStringLiteral("usage");
    case ErrorCode::NotFound: return QStringLiteral("not found");
    case ErrorCode::Permission: return QStringLiteral("permission");
    case ErrorCode::Transfer: return QStringLiteral("transfer");
    case ErrorCode::Unreadable: return QStringLiteral("unreadable");
    case ErrorCode::NotData: return QStringLiteral("not data");
    case ErrorCode::Damaged: return QStringLiteral("damaged");
    case ErrorCode::NoData: return QStringLiteral("no data");
    case ErrorCode::TooLarge: return QStringLiteral("too large");
    case ErrorCode::WriteFailed: return QStringLiteral("write failed");
    case ErrorCode::Cancelled: return QStringLiteral("cancelled");
    case ErrorCode::Refused: return QStringLiteral("refused");
    }
    return QStringLiteral("?");
}

template <typename T> QString outcome(const Result<T> &result)
{
    return result ? QStringLiteral("ok") : outcomeName(result.code());
}
