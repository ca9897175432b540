#include "excerpt_files.h"

#include "data/clip_table.h"
#include "engine/records.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace playback {

namespace {

const QString kStoreName = QStringLiteral(DORLO_STORE_NAME);

QString withSeparator(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

QString storePath(const QString& programFolder) {
    return withSeparator(programFolder) + kStoreName;
}

QString chooseTemporaryFolder(const QString& tmpDir, const QString& runtimeDir,
                              const QString& programFolder) {
    if (!tmpDir.isEmpty())
        return withSeparator(tmpDir);
    if (!runtimeDir.isEmpty())
        return withSeparator(runtimeDir);
    return withSeparator(programFolder);
}

QString temporaryFolder(const QString& programFolder) {
    const QString tmpDir = qEnvironmentVariable("TMPDIR");
    if (!tmpDir.isEmpty())
        return chooseTemporaryFolder(tmpDir, {}, programFolder);
    return chooseTemporaryFolder(
        {}, QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation), programFolder);
}

void ExcerptFiles::chooseNextName() {
    FichierMP3 =
        DossierTemp + (nameFlag ? QStringLiteral("Dorl.mp3") : QStringLiteral("Dorlo.mp3"));
    nameFlag = !nameFlag;
}

void ExcerptFiles::deleteCurrent() const {
    if (!FichierMP3.isEmpty())
        ::unlink(QFile::encodeName(FichierMP3).constData());
}

bool ExcerptFiles::extract(int k) {
    deleteCurrent();
    if (k < 0 || k > engine::kQuestions) {
        qWarning("Dorlo: no clip %d in the excerpt store", k);
        return false;
    }

    const qint64 start = edition::clipStart(k);
    const qint64 length = edition::clipLength(k);
    QFile store(CheminDat);
    if (!store.open(QIODevice::ReadOnly)) {
        qWarning("Dorlo: cannot read the excerpt store %s: %s", qUtf8Printable(CheminDat),
                 qUtf8Printable(store.errorString()));
        return false;
    }
    QByteArray clip;
    if (store.seek(start))
        clip = store.read(length);
    if (clip.size() != length) {
        qWarning("Dorlo: the excerpt store %s is too short for clip %d (%lld bytes)",
                 qUtf8Printable(CheminDat), k, static_cast<long long>(store.size()));
        return false;
    }

    // A fresh file of our own: a link or file someone left under this name is refused,
    // never written through.
    const QByteArray target = QFile::encodeName(FichierMP3);
    const int fd =
        ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        qWarning("Dorlo: cannot create %s: %s", target.constData(), std::strerror(errno));
        return false;
    }
    const bool written = writeAll(fd, clip);
    const int writeErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        qWarning("Dorlo: cannot write %s: %s", target.constData(),
                 std::strerror(written ? errno : writeErrno));
        ::unlink(target.constData());
        return false;
    }
    return true;
}

QString ExcerptFiles::storeProblem() const {
    const QFileInfo info(CheminDat);
    const QString name = QDir::toNativeSeparators(CheminDat);
    if (!info.exists())
        return QStringLiteral("Les extraits ne peuvent pas être joués : le fichier « %1 » est "
                              "introuvable.")
            .arg(name);
    if (!info.isFile() || !info.isReadable())
        return QStringLiteral("Les extraits ne peuvent pas être joués : le fichier « %1 » est "
                              "illisible.")
            .arg(name);
    if (info.size() < edition::storeLength())
        return QStringLiteral("Les extraits ne peuvent pas être joués : le fichier « %1 » est "
                              "incomplet.")
            .arg(name);
    return {};
}

} // namespace playback
