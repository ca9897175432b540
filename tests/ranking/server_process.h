#pragma once
// A real dorlo-ranking process on a free loopback port, and a throw-away PostgreSQL cluster,
// for the tests and the benchmark.
#include <httplib.h>
#include <libpq-fe.h>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>
#include <signal.h>

class ServerProcess {
public:
    ~ServerProcess() { kill(); }

    // Starts the server and waits for its address; false with `error` set otherwise.
    bool start(const QString& database, int rateLimit = 0, const QStringList& options = {}) {
        process_ = std::make_unique<QProcess>();
        process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_->start(QStringLiteral(DORLO_BUILD_DIR "/ranking/dorlo-ranking"),
                        QStringList{"--listen", "127.0.0.1:0", "--database", database,
                                    "--rate-limit", QString::number(rateLimit)} +
                            options);
        static const QRegularExpression listening(
            QStringLiteral("listening on http://[^:]+:(\\d+)/"));
        QByteArray out;
        while (process_->waitForReadyRead(20000)) {
            out += process_->readAllStandardOutput();
            const auto m = listening.match(QString::fromUtf8(out));
            if (m.hasMatch()) {
                port_ = m.captured(1).toInt();
                return true;
            }
        }
        error = "dorlo-ranking did not start (" + database + "): " + process_->errorString();
        return false;
    }
    // As after a crash: no chance to flush anything.
    void kill() {
        if (!process_ || process_->state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(process_->processId()), SIGKILL);
        process_->waitForFinished(10000);
    }
    // SIGTERM; true when the server ended cleanly.
    bool stop() {
        process_->terminate();
        return process_->waitForFinished(10000) && process_->exitStatus() == QProcess::NormalExit &&
               process_->exitCode() == 0;
    }
    int port() const { return port_; }
    qint64 pid() const { return process_ ? process_->processId() : 0; }
    std::unique_ptr<httplib::Client> client() const {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", port_);
        c->set_read_timeout(30, 0);
        c->set_tcp_nodelay(true);
        return c;
    }

    QString error;

private:
    std::unique_ptr<QProcess> process_;
    int port_ = 0;
};

// Started by the first call of url(), stopped and removed with the object.
class ScratchCluster {
public:
    ~ScratchCluster() {
        if (!url_.isEmpty())
            QProcess::execute(script(), {"stop", dir_});
    }
    // The cluster's libpq URL; empty with `error` set when it cannot start.
    QString url() {
        if (!url_.isEmpty() || !error.isEmpty())
            return url_;
        // Short: a Unix socket's path is limited to about 100 bytes.
        const QByteArray dir = QDir::tempPath().toUtf8() + "/rkpg.XXXXXX";
        QByteArray buffer = dir;
        if (!mkdtemp(buffer.data())) {
            error = "cannot make a folder for PostgreSQL";
            return {};
        }
        dir_ = QString::fromUtf8(buffer);
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(script(), {"start", dir_});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            error = "cannot start a PostgreSQL cluster (scripts/pg-scratch-cluster, see above)";
            QProcess::execute(script(), {"stop", dir_});
            return {};
        }
        url_ = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        return url_;
    }
    // A new empty database of the cluster, so that each test starts from nothing.
    QString freshDatabase() {
        if (url().isEmpty())
            return {};
        const QString name = QStringLiteral("r%1").arg(++databases_);
        PGconn* c = PQconnectdb(url_.toUtf8().constData());
        PGresult* r = PQexec(c, ("CREATE DATABASE " + name).toUtf8().constData());
        const bool made = PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
        PQfinish(c);
        if (!made) {
            error = "cannot create a database in the PostgreSQL cluster";
            return {};
        }
        return QString(url_).replace(QStringLiteral(":///postgres?"), ":///" + name + "?");
    }
    // As after a crash of the server machine's PostgreSQL: clients are cut off.
    bool restart() {
        return !url_.isEmpty() && QProcess::execute(script(), {"restart", dir_}) == 0;
    }
    QString error;

private:
    static QString script() {
        return QStringLiteral(DORLO_SOURCE_DIR "/scripts/pg-scratch-cluster");
    }
    QString dir_;
    QString url_;
    int databases_ = 0;
};
