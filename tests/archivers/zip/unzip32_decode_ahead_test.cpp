// The helper that decodes later members while the command works on earlier
// ones: a member decoded twice or never, a member the command already took
// decoded again behind its back, a core token kept after the work, or an
// unfinished file left behind by a stop would all be silent faults.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "decode_ahead.h"
#include "platform/core_budget.h"
#include "zip_test_support.h"

namespace kt::ziptest {
namespace {

using kt::unzip32::AheadResult;
using kt::unzip32::DecodeAhead;

constexpr uint64_t kLarge = 2u << 20;

// Runs a command's loop over members of the given packed sizes; the helper
// and the caller each record which members they decoded.
struct CommandLoop {
    std::mutex mutex;
    std::multiset<size_t> byHelper, byCaller;
    std::vector<size_t> taken;

    void Go(const std::vector<uint64_t>& sizes) {
        DecodeAhead ahead(sizes, [&](size_t i, AheadResult& out, const std::atomic<bool>&,
                                     std::atomic<uint64_t>& written) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            written += 100;
            std::lock_guard lock(mutex);
            byHelper.insert(i);
            out.done = true;
            out.status = i % 2 ? kt::zip::ZipStatus::Ok : kt::zip::ZipStatus::CrcMismatch;
        });
        for (size_t i = 0; i < sizes.size(); ++i) {
            if (ahead.Claimed(i)) {
                AheadResult r = ahead.Take(i, [](uint64_t) { return false; });
                EXPECT_TRUE(r.done);
                // The result belongs to the member it was made for.
                EXPECT_EQ(r.status,
                          i % 2 ? kt::zip::ZipStatus::Ok : kt::zip::ZipStatus::CrcMismatch);
                taken.push_back(i);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                std::lock_guard lock(mutex);
                byCaller.insert(i);
            }
        }
    }
};

TEST(DecodeAhead, EveryMemberIsDecodedOnceAndTheHelperWorksFromTheBack) {
    if (kt::FreeCores() < 2) GTEST_SKIP() << "needs two free cores in the budget";
    const int freeBefore = kt::FreeCores();
    CommandLoop run;
    run.Go(std::vector<uint64_t>(8, kLarge));
    std::multiset<size_t> all = run.byHelper;
    all.insert(run.byCaller.begin(), run.byCaller.end());
    EXPECT_EQ(all, (std::multiset<size_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    ASSERT_FALSE(run.byHelper.empty());
    EXPECT_EQ(*run.byHelper.rbegin(), 7u);
    EXPECT_EQ(*run.byCaller.begin(), 0u);
    // Each side holds one stretch: the caller's from the front, the
    // helper's behind it.
    EXPECT_LT(*run.byCaller.rbegin(), *run.byHelper.begin());
    EXPECT_EQ(std::multiset<size_t>(run.taken.begin(), run.taken.end()), run.byHelper);
    EXPECT_EQ(kt::FreeCores(), freeBefore);
}

TEST(DecodeAhead, SmallMembersAndSingleMembersStayWithTheCaller) {
    for (const auto& sizes :
         {std::vector<uint64_t>{kLarge}, std::vector<uint64_t>{kLarge, 1000, 2000, 3000},
          std::vector<uint64_t>(40, 100u << 10), std::vector<uint64_t>{0, kLarge, 0}}) {
        CommandLoop run;
        run.Go(sizes);
        EXPECT_TRUE(run.byHelper.empty());
        EXPECT_EQ(run.byCaller.size(), sizes.size());
    }
}

TEST(DecodeAhead, StopDropsTheFilesTheCallerNeverTook) {
    if (kt::FreeCores() < 2) GTEST_SKIP() << "needs two free cores in the budget";
    TempDir d;
    const int freeBefore = kt::FreeCores();
    std::atomic<int> made{0};
    {
        DecodeAhead ahead(
            std::vector<uint64_t>(6, kLarge),
            [&](size_t i, AheadResult& out, const std::atomic<bool>& stop, std::atomic<uint64_t>&) {
                out.dirFd = ::open(d.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                out.file = std::make_unique<kt::AtomicFile>();
                ASSERT_TRUE(out.file->CreateAt(out.dirFd, "m" + std::to_string(i)));
                out.file->Write("data", 4);
                out.file->Flush();
                ++made;
                out.done = !stop;
            });
        EXPECT_FALSE(ahead.Claimed(0));
        // The helper works meanwhile; the command then gives up.
        for (int i = 0; i < 200 && made < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ahead.Stop();
        EXPECT_GE(made.load(), 1);
    }
    DIR* dir = opendir(d.path().c_str());
    ASSERT_NE(dir, nullptr);
    std::vector<std::string> left;
    while (dirent* e = readdir(dir))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            left.push_back(e->d_name);
    closedir(dir);
    EXPECT_TRUE(left.empty()) << left.front();
    EXPECT_EQ(kt::FreeCores(), freeBefore);
}

}  // namespace
}  // namespace kt::ziptest
