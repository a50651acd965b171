#include "TestSupport.h"
#include "platform/FileIO.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace rz;
using rztest::CTempDir;
using rztest::Entries;
using rztest::ReadBytes;
using rztest::WriteBytes;

namespace
{

constexpr uid_t kNobody = 65534;

struct stat Stat(const std::string& path)
{
    struct stat st
    {
    };
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// Runs body in a child process and returns its exit status; 77 means "cannot run here".
int InChild(const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(body());
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Gives up root for the unprivileged user; false when that is not possible.
bool BecomeNobody()
{
    return ::geteuid() == 0 && ::setgroups(0, nullptr) == 0 &&
           ::setresgid(kNobody, kNobody, kNobody) == 0 &&
           ::setresuid(kNobody, kNobody, kNobody) == 0;
}

// A private mount namespace of the calling child process, so that its mounts leave the
// machine's own alone.
bool PrivateMounts()
{
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

} // namespace

TEST(ReadWholeFile, ReadsRegularFilesAndRefusesEverythingElse)
{
    CTempDir dir;
    std::string bytes = "stale";
    WriteBytes(dir.File("empty"), "");
    EXPECT_EQ(ReadWholeFile(dir.File("empty"), bytes), 0);
    EXPECT_EQ(bytes, "");
    std::string big(200000, 'x');
    big[123456] = '\0';
    WriteBytes(dir.File("big"), big);
    EXPECT_EQ(ReadWholeFile(dir.File("big"), bytes), 0);
    EXPECT_EQ(bytes, big);
    // Files that tell no size are read to their end.
    EXPECT_EQ(ReadWholeFile("/proc/self/status", bytes), 0);
    EXPECT_NE(bytes.find("Pid:"), std::string::npos);

    EXPECT_EQ(ReadWholeFile(dir.File("absent"), bytes), ENOENT);
    EXPECT_EQ(ReadWholeFile(dir.Path(), bytes), EISDIR);
    // A FIFO without a writer would block a plain read for ever.
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReadWholeFile(dir.File("fifo"), bytes), ESPIPE);
    // A device that never ends.
    EXPECT_EQ(ReadWholeFile("/dev/zero", bytes), ENODEV);
    EXPECT_TRUE(bytes.empty());
    // One byte over the limit (a sparse file: no disk space is used).
    const int fd = ::open(dir.File("huge").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kMaxReadBytes) + 1), 0);
    ::close(fd);
    EXPECT_EQ(ReadWholeFile(dir.File("huge"), bytes), EFBIG);

    EXPECT_EQ(FileErrorText(ESPIPE), "it is a FIFO or socket, not a regular file");
    EXPECT_EQ(FileErrorText(ENODEV), "it is a device, not a regular file");
    EXPECT_EQ(FileErrorText(EISDIR), "it is a folder, not a regular file");
    EXPECT_EQ(FileErrorText(EFBIG), "it is larger than 256 MiB");
    EXPECT_EQ(FileErrorText(ENOENT), "No such file or directory");
}

TEST(FileReplacement, PrepareTouchesNothingAndCommitOrDiscardFinishes)
{
    CTempDir dir;
    const std::string path = dir.File("Gateway.ini");
    WriteBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const ino_t oldInode = Stat(path).st_ino;

    CFileReplacement replacement;
    EXPECT_EQ(replacement.Commit(), EINVAL);
    ASSERT_EQ(replacement.Prepare(path, "new content"), 0);
    EXPECT_TRUE(replacement.IsPrepared());
    EXPECT_FALSE(replacement.InPlace());
    EXPECT_EQ(ReadBytes(path), "old");
    // The new content waits in a file without a name.
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"Gateway.ini"});
    ASSERT_EQ(replacement.Commit(), 0);
    EXPECT_FALSE(replacement.IsPrepared());
    EXPECT_EQ(ReadBytes(path), "new content");
    EXPECT_NE(Stat(path).st_ino, oldInode);
    EXPECT_EQ(Stat(path).st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"Gateway.ini"});
    EXPECT_EQ(replacement.Commit(), EINVAL);

    // Discarded, or dropped without Commit: the old file stays.
    ASSERT_EQ(replacement.Prepare(path, "never"), 0);
    replacement.Discard();
    {
        CFileReplacement dropped;
        ASSERT_EQ(dropped.Prepare(path, "never either"), 0);
    }
    EXPECT_EQ(ReadBytes(path), "new content");
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"Gateway.ini"});

    // A new file gets 0644 less the umask.
    const mode_t mask = ::umask(027);
    EXPECT_EQ(ReplaceFile(dir.File("fresh.ini"), "x"), 0);
    ::umask(mask);
    EXPECT_EQ(Stat(dir.File("fresh.ini")).st_mode & 07777, 0640u);

    // A link stays a link, and the file it names gets the content.
    ASSERT_EQ(::symlink("Gateway.ini", dir.File("link.ini").c_str()), 0);
    EXPECT_EQ(ReplaceFile(dir.File("link.ini"), "through the link"), 0);
    EXPECT_TRUE(S_ISLNK(Stat(dir.File("link.ini")).st_mode));
    EXPECT_EQ(ReadBytes(path), "through the link");

    // What is not a regular file is refused.
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReplaceFile(dir.File("fifo"), "x"), ESPIPE);
    EXPECT_EQ(ReplaceFile(dir.Path(), "x"), EISDIR);
    EXPECT_EQ(ReplaceFile(dir.File("no/folder/file"), "x"), ENOENT);
}

TEST(FileReplacement, SeveralFilesAreWrittenAllOrNothing)
{
    CTempDir dir;
    WriteBytes(dir.File("a.XML"), "a1");
    std::filesystem::create_directory(dir.File("b.ini")); // cannot be replaced
    CFileReplacement a;
    CFileReplacement b;
    ASSERT_EQ(a.Prepare(dir.File("a.XML"), "a2"), 0);
    ASSERT_NE(b.Prepare(dir.File("b.ini"), "b2"), 0);
    a.Discard();
    EXPECT_EQ(ReadBytes(dir.File("a.XML")), "a1");

    std::filesystem::remove(dir.File("b.ini"));
    WriteBytes(dir.File("b.ini"), "b1");
    std::vector<CFileReplacement> all(2);
    ASSERT_EQ(all[0].Prepare(dir.File("a.XML"), "a2"), 0);
    ASSERT_EQ(all[1].Prepare(dir.File("b.ini"), "b2"), 0);
    for (auto& replacement : all)
        ASSERT_EQ(replacement.Commit(), 0);
    EXPECT_EQ(ReadBytes(dir.File("a.XML")), "a2");
    EXPECT_EQ(ReadBytes(dir.File("b.ini")), "b2");
    EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"a.XML", "b.ini"}));
}

TEST(FileReplacement, TemporaryFilesOfKilledSavesGoAtTheNextSave)
{
    CTempDir dir;
    const std::string path = dir.File("GatewayConfig.XML");
    WriteBytes(path, "old");
    // Left by saves that were killed, and not of this file's pattern.
    WriteBytes(dir.File(".GatewayConfig.XML.aB3xYz"), "stale");
    WriteBytes(dir.File(".GatewayConfig.XML.Q1w2E3"), "stale");
    WriteBytes(dir.File(".GatewayConfig.XML.short"), "other");
    WriteBytes(dir.File(".GatewayConfig.XML.toolong7"), "other");
    WriteBytes(dir.File(".Gateway.ini.aB3xYz"), "other");
    WriteBytes(dir.File("GatewayConfig.XML.aB3xYz"), "other");
    // One whose save still runs holds a lock on it.
    WriteBytes(dir.File(".GatewayConfig.XML.live00"), "running");
    const int live = ::open(dir.File(".GatewayConfig.XML.live00").c_str(), O_RDONLY);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);

    ASSERT_EQ(ReplaceFile(path, "new"), 0);
    ::close(live);
    EXPECT_EQ(Entries(dir.Path()),
              (std::vector<std::string>{".Gateway.ini.aB3xYz", ".GatewayConfig.XML.live00",
                                        ".GatewayConfig.XML.short", ".GatewayConfig.XML.toolong7",
                                        "GatewayConfig.XML", "GatewayConfig.XML.aB3xYz"}));
    EXPECT_EQ(ReadBytes(path), "new");
}

// Root may write anything, so each case runs in a child that has given up root for the
// unprivileged user after the files were set up.
TEST(FileReplacement, TheFilesOwnPermissionDecidesAndOwnerGroupAndModeStay)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to set up files of other owners";
    CTempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const std::string open = dir.File("open");     // the user may write the folder
    const std::string closed = dir.File("closed"); // the user may not
    std::filesystem::create_directory(open);
    std::filesystem::create_directory(closed);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(closed.c_str(), 0755), 0);
    const auto make = [](const std::string& path, mode_t mode, uid_t owner)
    {
        WriteBytes(path, "old content");
        ASSERT_EQ(::chown(path.c_str(), owner, owner), 0);
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    };
    make(open + "/readonly.XML", 0444, 0);
    make(closed + "/shared.XML", 0666, 0);
    make(open + "/shared.XML", 0666, 0);
    make(open + "/own.XML", 0640, kNobody);
    make(open + "/own-readonly.XML", 0444, kNobody);
    make(closed + "/readonly.XML", 0444, 0);

    const int status = InChild(
        [&]
        {
            if (!BecomeNobody())
                return 77;
            bool inPlace = true;
            // A file the user may not write: refused, whatever the folder allows.
            if (ReplaceFile(open + "/readonly.XML", "new", &inPlace) != EACCES)
                return 10;
            if (ReplaceFile(closed + "/readonly.XML", "new") != EACCES)
                return 11;
            // Also when it is the user's own.
            if (ReplaceFile(open + "/own-readonly.XML", "new") != EACCES)
                return 16;
            // A writable file in a closed folder: written in place.
            if (ReplaceFile(closed + "/shared.XML", "new", &inPlace) != 0 || !inPlace)
                return 12;
            // A writable file of another owner: a new file could not keep the owner.
            if (ReplaceFile(open + "/shared.XML", "new and longer", &inPlace) != 0 || !inPlace)
                return 13;
            // The user's own file is replaced as usual.
            if (ReplaceFile(open + "/own.XML", "new", &inPlace) != 0 || inPlace)
                return 14;
            // Nothing new may be made in a closed folder.
            if (ReplaceFile(closed + "/new.XML", "new") != EACCES)
                return 15;
            return 0;
        });
    if (status == 77)
        GTEST_SKIP() << "cannot give up root here";
    ASSERT_EQ(status, 0) << "the case that failed, by its number";

    const auto expect =
        [](const std::string& path, const std::string& content, mode_t mode, uid_t owner)
    {
        EXPECT_EQ(ReadBytes(path), content) << path;
        const struct stat st = Stat(path);
        EXPECT_EQ(st.st_mode & 07777, mode) << path;
        EXPECT_EQ(st.st_uid, owner) << path;
        EXPECT_EQ(st.st_gid, owner) << path;
    };
    expect(open + "/readonly.XML", "old content", 0444, 0);
    expect(closed + "/readonly.XML", "old content", 0444, 0);
    expect(closed + "/shared.XML", "new", 0666, 0);
    expect(open + "/shared.XML", "new and longer", 0666, 0);
    expect(open + "/own.XML", "new", 0640, kNobody);
    expect(open + "/own-readonly.XML", "old content", 0444, kNobody);
    EXPECT_EQ(Entries(open), (std::vector<std::string>{"own-readonly.XML", "own.XML",
                                                       "readonly.XML", "shared.XML"}));
    EXPECT_EQ(Entries(closed), (std::vector<std::string>{"readonly.XML", "shared.XML"}));

    // Root writes a read-only file of another owner, and both stay.
    bool inPlace = true;
    ASSERT_EQ(ReplaceFile(open + "/own.XML", "by root", &inPlace), 0);
    EXPECT_FALSE(inPlace);
    ASSERT_EQ(::chmod((open + "/own.XML").c_str(), 0444), 0);
    ASSERT_EQ(ReplaceFile(open + "/own.XML", "by root again"), 0);
    expect(open + "/own.XML", "by root again", 0444, kNobody);
}

// A small memory file system in a mount namespace of a child process: the machine's own
// mounts are not touched.
TEST(FileReplacement, AFullFileSystemKeepsTheOldFileAndLeavesNothingBehind)
{
    CTempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const std::string mountPoint = dir.File("small");
    std::filesystem::create_directory(mountPoint);
    const int status = InChild(
        [&]
        {
            if (!PrivateMounts() ||
                ::mount("rzsmall", mountPoint.c_str(), "tmpfs", 0, "size=256k,mode=0755") != 0)
                return 77;
            const std::string path = mountPoint + "/GatewayConfig.XML";
            const std::string old(100 * 1024, 'o');
            WriteBytes(path, old);
            if (::chmod(path.c_str(), 0666) != 0)
                return 2;
            // About 150 KiB are free now: 200 KiB do not fit beside the old file.
            const std::string bigger(200 * 1024, 'n');
            if (ReplaceFile(path, bigger) != ENOSPC)
                return 3;
            if (ReadBytes(path) != old || Entries(mountPoint).size() != 1)
                return 4;
            // Written in place by a user who may not write the folder: the space is
            // reserved before the old content is touched.
            const std::string huge(300 * 1024, 'n');
            if (!BecomeNobody())
                return 8;
            bool inPlace = false;
            if (ReplaceFile(path, huge, &inPlace) != ENOSPC)
                return 5;
            if (ReadBytes(path) != old || Entries(mountPoint).size() != 1)
                return 6;
            const std::string smaller(50 * 1024, 's');
            if (ReplaceFile(path, smaller, &inPlace) != 0 || !inPlace || ReadBytes(path) != smaller)
                return 7;
            return 0;
        });
    if (status == 77)
        GTEST_SKIP() << "no mount namespace here (needs root)";
    EXPECT_EQ(status, 0) << "the step that failed, by its number";
}
