#include "core/replacefile.h"

#include <QSaveFile>

#include <cerrno>

namespace tarv::core {

WriteResult replaceFile(const QString &path, const QByteArray &bytes)
{
    WriteResult result;
    result.path = path;
    // QSaveFile writes a temporary file beside the target and renames it over the
    // target on commit; on any failure (or destruction without commit) it removes
    // the temporary file and the old target stays untouched.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
        return result;
    }
    if (file.write(bytes) != bytes.size()) {
        result.error = file.errorString();
        file.cancelWriting();
        return result;
    }
    // Qt buffers the content; a full disk shows only when the buffer reaches the
    // file. commit() ignores that failure and would rename the truncated temporary
    // file over the target, so flush first and give up on any error. The system's
    // own reason is clearer than the device's generic "Unknown error".
    if (!file.flush()) {
        result.error = qt_error_string(errno);
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        result.error = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace tarv::core
