// Shared by the Send To tests: the texts of the button's prompts and
// messages, a folder that refuses removals, and a start of this test program
// the way a file manager starts the program, which reports what it listed.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace kt::sendto_test {

inline const std::string kRegisterPrompt =
    "\"KalvoraTrindle\"をコンテキストメニューの「送る」に登録します。\rよろしいですか？";
inline const std::string kRemovePrompt =
    "\"KalvoraTrindle\"をコンテキストメニューの「送る」から削除します。\rよろしいですか？";
inline const std::string kRegistered =
    "\"KalvoraTrindle\"をコンテキストメニューの「送る」に登録しました";
inline const std::string kNotRegistered =
    "\"KalvoraTrindle\"をコンテキストメニューの「送る」に登録できませんでした";
inline const std::string kRemoved =
    "\"KalvoraTrindle\"をコンテキストメニューの「送る」から削除しました";
inline const std::string kNotRemoved =
    "\"KalvoraTrindle\"をコンテキストメニューの「送る」から削除できませんでした";
inline const std::string kChanged = "SendToフォルダが変更されたようです。。。";
inline const std::string kAborted = "処理を中断します。";

using kt::test::ReadAll;

// Makes a folder refuse the removal of its entries for its lifetime: by its
// mode for an ordinary user, by the immutable flag for root. Locked() is
// false where neither works.
class FolderLock {
public:
    explicit FolderLock(const QString& folder) : FPath(folder.toStdString()) {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        if (::access(FPath.c_str(), W_OK) != 0) {
            FLocked = true;
            return;
        }
        const int fd = ::open(FPath.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) return;
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            FImmutable = FLocked = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
    }
    ~FolderLock() {
        if (FImmutable) {
            const int fd = ::open(FPath.c_str(), O_RDONLY | O_DIRECTORY);
            int flags = 0;
            if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            if (fd >= 0) ::close(fd);
        }
        QFile::setPermissions(QString::fromStdString(FPath),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool Locked() const { return FLocked; }

private:
    std::string FPath;
    bool FLocked = false;
    bool FImmutable = false;
};

// Starts `program` (this test program, or a script that ends in it) with
// `args` in `folder`, as the child test SendToChild.ListsItsParameters, and
// returns its report: its working folder, then every listed path. Empty when
// the child failed; `failure` then says how.
inline std::vector<std::string> RunListingChild(const std::string& program,
                                                const std::vector<std::string>& args,
                                                const std::string& folder,
                                                const std::map<QString, QString>& extraEnv,
                                                const std::string& report, std::string& failure) {
    QProcess child;
    QStringList list;
    for (const std::string& arg : args) list << QString::fromStdString(arg);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KT_SENDTO_CHILD_REPORT", QString::fromStdString(report));
    env.insert("GTEST_FILTER", "SendToChild.ListsItsParameters");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    for (const auto& [name, value] : extraEnv) env.insert(name, value);
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(QString::fromStdString(folder));
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QString::fromStdString(program), list);
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0) {
        failure = "child failed: " + child.readAll().toStdString();
        return {};
    }
    std::vector<std::string> lines;
    std::istringstream in(ReadAll(report));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace kt::sendto_test
