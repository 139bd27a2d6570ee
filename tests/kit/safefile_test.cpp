// The writer of user files, with the system calls it leans on failing.
#include "kit/safefile.h"

#include "support/syscall_faults.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

namespace
{

namespace faults = testsupport::faults;
using faults::Call;
using testsupport::readText;
using testsupport::TempDir;
using testsupport::writeFile;

mode_t modeOf(const std::string& path)
{
    struct stat st {
    };
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(SafeFile, WritingNeverTouchesTheProcessUmask)
{
    TempDir dir("qor_safefile");
    faults::Scope scope;
    mode_t mask = ::umask(027);
    bool ok = kit::WriteFileReplacing(dir.file("a"), "a", 1) && kit::WriteFileNew(dir.file("b"), "b", 1);
    ::umask(mask);
    ASSERT_TRUE(ok);
    // The two calls above are the test's own.
    EXPECT_EQ(faults::calls(Call::Umask), 2) << "another thread's new file would get no mask";
    EXPECT_EQ(modeOf(dir.file("a")), 0640u);
    EXPECT_EQ(modeOf(dir.file("b")), 0640u);
}

// The temporary that replaces a file is never open to more than the file was, and the file keeps
// its mode whatever the umask.
TEST(SafeFile, AReplacedFileKeepsItsModeAndIsNeverWiderMeanwhile)
{
    struct Row {
        mode_t mode, umask;
    } rows[] = {{0600, 022}, {0640, 022}, {0666, 022}, {0644, 077}};
    TempDir dir("qor_safefile");
    const std::string f = dir.file("kept.ini");
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << std::oct << r.mode << " under umask " << r.umask);
        writeFile(f, std::string("old"));
        ASSERT_EQ(::chmod(f.c_str(), r.mode), 0);
        faults::Scope scope;
        mode_t mask = ::umask(r.umask);
        bool ok = kit::WriteFileReplacing(f, "new", 3);
        ::umask(mask);
        ASSERT_TRUE(ok);
        EXPECT_EQ(faults::createMode() & ~r.umask & ~r.mode, 0u) << "the temporary was made wider";
        EXPECT_EQ(modeOf(f), r.mode);
        EXPECT_EQ(readText(f), "new");
    }
}

TEST(SafeFile, ANewFileIsMadeWithoutHardLinksAndNeverReplacesOne)
{
    struct Row {
        const char* what;
        int linkErr, renameErr;
    } rows[] = {
        {"hard links", 0, 0},
        {"no hard links: a rename that refuses to replace", EPERM, 0},
        {"no hard links, no such rename: an exclusive create", EPERM, EINVAL},
        {"links not supported, rename unknown to the kernel", EOPNOTSUPP, ENOSYS},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TempDir dir("qor_safefile");
        faults::Scope scope;
        if (r.linkErr) faults::fail(Call::Link, r.linkErr);
        if (r.renameErr) faults::fail(Call::Renameat2, r.renameErr);
        const std::string fresh = dir.file("fresh.syx"), taken = dir.file("taken.syx");
        writeFile(taken, std::string("old"));
        std::string error;
        bool existed = true;
        EXPECT_TRUE(kit::WriteFileNew(fresh, "new", 3, &error, &existed)) << error;
        EXPECT_FALSE(existed);
        EXPECT_EQ(readText(fresh), "new");
        EXPECT_FALSE(kit::WriteFileNew(taken, "new", 3, &error, &existed));
        EXPECT_TRUE(existed);
        EXPECT_EQ(readText(taken), "old");
        EXPECT_EQ(dir.list(), (std::vector<std::string>{"fresh.syx", "taken.syx"})) << "no temporary left";
    }
}

} // namespace
