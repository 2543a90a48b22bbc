#include "app/threads.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "app/log.h"
#include "platform/platform.h"

namespace kt {
namespace {
std::atomic<int> nextNumber{2};
thread_local int ownNumber = 0;
thread_local std::string ownName;
}  // namespace

int threadNumber() {
    if (ownNumber == 0) ownNumber = nextNumber.fetch_add(1);
    return ownNumber;
}

void claimThreadNumber(int number) { ownNumber = number; }

void nameThread(const std::string& name) {
    ownName = name;
    // The kernel keeps 15 bytes of a thread's name. The process's first thread keeps the
    // program's: its name is the process's, which pgrep, killall and top show.
    if (::gettid() != ::getpid()) pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

std::string threadName() { return ownName; }

// pthread_exit unwinds the stack as an exception that no handler may swallow.
void endProgramThread() {
    if (host::hasHost()) host::host().programEnded();
    pthread_exit(nullptr);
}

}  // namespace kt

namespace {

// The entry slot of the launcher: filled by startprocess, emptied by the new thread. The
// hand-off flag alone serialises launches.
std::atomic<bool> handOff{false};
// Never destroyed: a thread may still take its entry while the process exits.
std::function<void()>& slotEntry = *new std::function<void()>([] {});
int64_t slotStackSize = 0;

struct ThreadStart {
    std::function<void()> entry;
    int number;
};

// The program's thread ends by unwinding its stack (endProgramThread): the destructors on it
// run and the locks it holds are given back. Nothing here catches, and nothing between the
// program and this function may catch everything without throwing it on.
void* threadBody(void* argument) {
    auto* start = static_cast<ThreadStart*>(argument);
    kt::claimThreadNumber(start->number);
    std::function<void()> entry = std::move(start->entry);
    delete start;
    entry();
    return nullptr;
}

// Starts a detached thread with the given stack size running entry.
bool spawn(std::function<void()> entry, int64_t stackSize) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackSize > 0) pthread_attr_setstacksize(&attributes, static_cast<size_t>(stackSize));
    auto* start = new ThreadStart{std::move(entry), kt::nextNumber.fetch_add(1)};
    pthread_t thread;
    int rc = pthread_create(&thread, &attributes, threadBody, start);
    pthread_attr_destroy(&attributes);
    if (rc != 0) {
        delete start;
        return false;
    }
    return true;
}

void startprogramthread() {
    std::function<void()> entry = std::move(slotEntry);
    slotEntry = [] {};
    handOff.store(false, std::memory_order_release);
    entry();
}

}  // namespace

void startprocess(std::function<void()> entry, int64_t stackSize) {
    using namespace std::chrono_literals;
    bool expected = false;
    while (!handOff.compare_exchange_weak(expected, true, std::memory_order_acquire)) {
        expected = false;
        std::this_thread::sleep_for(1ms);
    }
    slotEntry = std::move(entry);
    slotStackSize = stackSize;
    std::this_thread::sleep_for(10ms);
    auto create = [] {
        if (!spawn(startprogramthread, slotStackSize)) {
            kt::logLine("startprocess: Thread could not be created.");
            slotEntry = [] {};
            handOff.store(false, std::memory_order_release);
        }
    };
    if (host::hasHost())
        host::host().runOnMainSync(create);
    else
        create();
}

void startasyncprocess(std::function<void()> entry) {
    // Workers get the stack of the system's work-queue threads.
    if (!spawn(std::move(entry), 524288)) kt::logLine("startasyncprocess: Thread could not be created.");
}
