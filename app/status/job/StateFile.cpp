#include "status/job/StateFile.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brevane::status::job {

namespace {

    QString failure(const char* what, const QString& path)
    {
        return QStringLiteral("%1 %2: %3").arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(errno)));
    }

    class Descriptor {
    public:
        explicit Descriptor(int fd)
            : m_fd(fd)
        {
        }
        ~Descriptor()
        {
            if (m_fd >= 0)
                ::close(m_fd);
        }
        Descriptor(const Descriptor&) = delete;
        Descriptor& operator=(const Descriptor&) = delete;
        int get() const { return m_fd; }

    private:
        int m_fd;
    };

    bool writeAll(int fd, const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }

} // namespace

QString writeStateFile(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const QByteArray name = QFile::encodeName(info.fileName());
    const QByteArray temporary = name + ".new";
    if (::mkdir(folder.constData(), 0755) != 0 && errno != EEXIST)
        return failure("cannot make", info.absolutePath());
    const Descriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st { };
    if (dir.get() < 0 || ::fstat(dir.get(), &st) != 0)
        return failure("cannot open the folder", info.absolutePath());
    // Someone else's folder could swap the file for a link between our calls.
    if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return QStringLiteral("%1 is not a folder of root's alone").arg(info.absolutePath());
    // Whatever the umask, the window's user must reach the file.
    if (::fchmod(dir.get(), 0755) != 0)
        return failure("cannot open up", info.absolutePath());
    ::unlinkat(dir.get(), temporary.constData(), 0);
    const Descriptor file(
        ::openat(dir.get(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (file.get() < 0)
        return failure("cannot create", path + QStringLiteral(".new"));
    if (::fchmod(file.get(), 0644) != 0 || !writeAll(file.get(), bytes) || ::fsync(file.get()) != 0)
        return failure("cannot write", path + QStringLiteral(".new"));
    if (::renameat(dir.get(), temporary.constData(), dir.get(), name.constData()) != 0)
        return failure("cannot rename into", path);
    return {};
}

std::optional<QByteArray> readStateFile(const QString& path, qint64 limit, bool rootsOnly)
{
    const Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat st { };
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > limit
        || (rootsOnly && (st.st_uid != 0 || (st.st_mode & 022) != 0)))
        return std::nullopt;
    QByteArray bytes(qsizetype(st.st_size), '\0');
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(file.get(), bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

} // namespace brevane::status::job
