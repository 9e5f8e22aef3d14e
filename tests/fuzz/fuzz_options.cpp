// The program's command line, arguments separated by NUL bytes. Whatever
// they are, parsing either gives options made of the arguments or fails as
// a usage error with a text to print.
#include "FuzzCheck.h"

#include "core/app/MainOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList arguments{QStringLiteral("kv518")};
    for (const QByteArray &a : bytes.split('\0'))
        arguments << QString::fromUtf8(a);
    const Result<MainOptions> options = parseMainOptions(arguments);
    if (!options) {
        FUZZ_CHECK(options.code() == ErrorCode::Usage);
        FUZZ_CHECK(!options.message().isEmpty());
        return 0;
    }
    FUZZ_CHECK(options->files.size() + options->extraPorts.size() < arguments.size());
    for (const QString &file : options->files)
        FUZZ_CHECK(arguments.contains(file));
    return 0;
}
