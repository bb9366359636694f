#include <gtest/gtest.h>

#ifdef VELOR_TEST_POSIX_FACILITIES
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "app/SingleInstance.h"

namespace velor {
namespace {

std::string uniqueName(const char* what) {
    return std::string("VelorTest-") + what + "-" + std::to_string(getpid());
}

// Every test runs in a user session of its own: a runtime directory in its temporary folder.
class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.isValid());
        saved = qgetenv("XDG_RUNTIME_DIR");
        hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", session.path().toLocal8Bit());
    }
    void TearDown() override {
        if (hadRuntime) {
            qputenv("XDG_RUNTIME_DIR", saved);
        } else {
            qunsetenv("XDG_RUNTIME_DIR");
        }
    }
    // Starts the holder with the environment given; returns what it printed first.
    static QByteArray startHolder(QProcess& holder, const QString& name,
                                  const QProcessEnvironment& env) {
        holder.setProcessEnvironment(env);
        holder.start(QStringLiteral(VELOR_HOLDER_PATH), {name});
        if (!holder.waitForStarted(10000) || !holder.waitForReadyRead(10000)) return {};
        return holder.readAllStandardOutput().trimmed();
    }
    static QProcessEnvironment sessionEnvironment(const QString& runtime) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime);
        return env;
    }

    QTemporaryDir session;
    QByteArray saved;
    bool hadRuntime = false;
};

TEST_F(SingleInstanceTest, SecondGuardRefusedUntilTheFirstLetsGo) {
    const std::string name = uniqueName("inproc");
    SingleInstance first(name);
    SingleInstance second(name);
    ASSERT_TRUE(first.acquire());
    EXPECT_TRUE(first.acquire());  // holding it already
    EXPECT_FALSE(second.acquire());
    first.release();
    EXPECT_TRUE(second.acquire());
    second.release();
    {
        SingleInstance scoped(name);
        ASSERT_TRUE(scoped.acquire());
    }  // released by the destructor
    EXPECT_TRUE(first.acquire());
#ifdef VELOR_TEST_POSIX_FACILITIES  // a lock file there, a named mutex on Windows
    // The lock lives in the session's runtime directory.
    EXPECT_TRUE(QFileInfo::exists(session.filePath(QString::fromStdString(name) + ".lock")));
#endif
}

// A second process is refused while the first runs; a killed first copy leaves its lock file
// behind, and that file does not block the next start.
TEST_F(SingleInstanceTest, KilledHolderDoesNotBlock) {
    const QString name = QString::fromStdString(uniqueName("proc"));
    const QProcessEnvironment env = sessionEnvironment(session.path());
    QProcess holder;
    ASSERT_EQ(startHolder(holder, name, env), "held");

    QProcess second;
    EXPECT_EQ(startHolder(second, name, env), "refused");
    // It may have ended already while its answer was read.
    ASSERT_TRUE(second.state() == QProcess::NotRunning || second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 1);

    SingleInstance guard(name.toStdString());
    EXPECT_FALSE(guard.acquire());

    holder.kill();  // no chance to clean up
    ASSERT_TRUE(holder.waitForFinished(10000));
#ifdef VELOR_TEST_POSIX_FACILITIES  // a lock file there, a named mutex on Windows
    EXPECT_TRUE(QFileInfo::exists(session.filePath(name + ".lock")));
#endif
    EXPECT_TRUE(guard.acquire());
}

#ifdef VELOR_TEST_POSIX_FACILITIES  // the runtime directory of a user session

// One copy per user session: a copy in another session (another runtime directory, as another
// user or another login has) starts although this one runs.
TEST_F(SingleInstanceTest, CopiesOfDifferentSessionsDoNotMeet) {
    const QString name = QString::fromStdString(uniqueName("sessions"));
    QTemporaryDir other;
    ASSERT_TRUE(other.isValid());
    QProcess first;
    ASSERT_EQ(startHolder(first, name, sessionEnvironment(session.path())), "held");
    QProcess second;
    EXPECT_EQ(startHolder(second, name, sessionEnvironment(other.path())), "held");
    QProcess third;
    EXPECT_EQ(startHolder(third, name, sessionEnvironment(other.path())), "refused");
    // It may have ended already while its answer was read.
    ASSERT_TRUE(third.state() == QProcess::NotRunning || third.waitForFinished(10000));
    for (QProcess* p : {&first, &second}) {
        p->kill();
        p->waitForFinished(10000);
    }
}

// Without a runtime directory (or with one that others may enter) the lock goes to a folder of
// the user's own in the temporary directory, created for nobody else.
TEST_F(SingleInstanceTest, WithoutARuntimeDirectoryAPrivateFolderInTheTemporaryDirectory) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString own = temp.filePath(QStringLiteral("velor-%1").arg(getuid()));
    QDir shared(temp.filePath("shared"));
    ASSERT_TRUE(shared.mkpath("."));
    ASSERT_EQ(chmod(shared.path().toLocal8Bit().constData(), 0777), 0);
    for (const char* runtime : {"", "shared"}) {
        SCOPED_TRACE(runtime);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", temp.path());
        if (runtime[0] == '\0') {
            env.remove("XDG_RUNTIME_DIR");
        } else {
            env.insert("XDG_RUNTIME_DIR", shared.path());
        }
        const QString name = QString::fromStdString(uniqueName("fallback"));
        QProcess holder;
        ASSERT_EQ(startHolder(holder, name, env), "held");
        holder.kill();
        holder.waitForFinished(10000);
        EXPECT_TRUE(QFileInfo::exists(own + "/" + name + ".lock"));
        EXPECT_FALSE(QFileInfo::exists(shared.filePath(name + ".lock")));
        struct stat st {};
        ASSERT_EQ(stat(own.toLocal8Bit().constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
}

#endif

}  // namespace
}  // namespace velor
