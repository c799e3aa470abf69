// SPDX-License-Identifier: MIT
// Wiping while another program changes what the name leads to. A name that is a regular file
// one moment and a symbolic link to someone else's file (or a FIFO) the next must never make
// the wipe overwrite that other file, follow the link, or wait on the FIFO: each wipe either
// wipes the regular file it opened or refuses, and the other file keeps every byte.

#include "cipher/Wipe.h"
#include "cipher/core/Cipher.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TEST(WipeRaceTest, nameSwappedBetweenCheckAndOpen_neverReachesAnotherFile) {
    TTempDir dir;
    // The refusals are notices, many thousands of them: nobody needs to read them here, and
    // without a receiver none is given.
    const std::string name = dir / "name";
    const std::string victim = dir / "victim";
    WriteAll(victim, RandomBytes(20000, 70));
    const uint64_t victimBefore = FileHash(victim);

    // Puts a fresh regular file, a link to the victim and a FIFO under the name in turn, each
    // by one rename, as fast as it can.
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        const std::string reg = dir / "reg.tmp", link = dir / "link.tmp", fifo = dir / "fifo.tmp";
        for (unsigned k = 0; !stop; ++k) {
            switch (k % 3) {
            case 0:
                WriteAll(reg, std::vector<uint8_t>(3000, 0x55));
                std::rename(reg.c_str(), name.c_str());
                break;
            case 1:
                if (::symlink(victim.c_str(), link.c_str()) == 0)
                    std::rename(link.c_str(), name.c_str());
                break;
            default:
                (void)::mkfifo(fifo.c_str(), 0600);
                std::rename(fifo.c_str(), name.c_str());
                break;
            }
        }
    });
    // A wipe that blocked on the FIFO would hang here: the watchdog ends the test program.
    ::alarm(120);
    int wiped = 0, refused = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < end) {
        try {
            (WipeFileCore(name, name, nullptr, nullptr) ? wiped : refused)++;
        } catch (const std::exception&) {
            ++refused;
        }
    }
    stop = true;
    swapper.join();
    ::alarm(0);

    EXPECT_EQ(FileHash(victim), victimBefore) << "the link was followed";
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(victim)));
    EXPECT_GT(wiped + refused, 0);
    std::cout << "[ race     ] " << wiped << " wiped, " << refused << " refused\n";
}

} // namespace
