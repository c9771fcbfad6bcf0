// The core budget: one count of the CPU cores this process may run on, shared
// by everything that starts threads or worker processes, so that work running
// side by side never asks for more cores than there are.
//
// Where it lives. In libkthub.so, which the program, kaltri and every archiver
// library link: a library opened with dlopen(RTLD_LOCAL) still sees the one
// budget of its process. The count sits in memory shared across fork(), so
// kaltri's forked --jobs workers and the parent that forked them draw on the
// same budget. It is made on first use; a process that forks workers touches
// it (CoreCount()) before forking.
//
// The count. CoreCount() is the number of CPUs in the process's affinity mask
// (sched_getaffinity: taskset and container limits are honoured), at least 1.
// The budget starts with that many free tokens.
//
// kaltri --jobs N asks for N cores at most: LimitCores(N) makes the budget
// that small (never larger than the machine), before anything takes a token.
// So --jobs 1 packs on one core, and --jobs 2 on two cores whether the files
// are many (one each) or one is left (it gets both).
//
// The rules every user follows:
//  1. A thread that runs a command is "the caller". kaltri takes a token for
//     a worker when it hands it a file, or for a file it packs itself
//     (TakeCore, which is never refused: the user asked for that many jobs).
//     A worker keeps its token from one file to the next and gives it back
//     (GiveCore) once the parent has nothing more to hand out: given back
//     in between, another worker's in-file pool could take it first. The
//     window's run packs one file at a time on its own thread and takes
//     none: its caller thread is simply counted as one core in rule 2.
//     A command that starts a thread of its own beside the caller (UNZIP32
//     decoding later members ahead) takes a token for that thread and one
//     for the caller while both run, and lends the caller's back while the
//     caller only waits: pools nested in either thread then see both cores
//     taken.
//  2. Code that splits one job over threads (an in-file pool) runs part of
//     the work on the caller thread itself and adds helper threads only
//     through ExtraCores: each helper needs one token won by TryAdd (never
//     waited for), and there are never more than CoreCount() - 1 helpers.
//     So with kaltri --jobs 1 or in the window a large file gets every core,
//     and with --jobs equal to the cores each file gets one.
//  3. A pool may ask again (TryAdd) whenever it is about to hand out more
//     work: a core given back by a finished neighbour is then picked up in
//     the middle of a long file.
//  4. Tokens go back when the work they stand for ends, also on failure and
//     cancellation (ExtraCores gives back what it holds when destroyed).
//
// Every function is safe to call from any thread and any forked process.
#pragma once

namespace kt {

// Cores in this process's affinity mask, at least 1, or fewer after
// LimitCores.
int CoreCount();
// Lowers the budget to n cores (at least 1) when n is below it; call before
// any token is taken and before forking workers.
void LimitCores(int n);
// Tokens free right now (may be below zero when more jobs run than there are
// cores). Only a snapshot: use TryAdd to act on it.
int FreeCores();
// Takes a token for work that runs whether or not a core is free.
void TakeCore();
// Takes a token only when one is free; false otherwise.
bool TryTakeCore();
void GiveCore();

// The caller's token of rule 1 for the length of a scope.
class HeldCore {
public:
    HeldCore() { TakeCore(); }
    ~HeldCore() { GiveCore(); }
    HeldCore(const HeldCore&) = delete;
    HeldCore& operator=(const HeldCore&) = delete;
};

// Helper threads of one in-file pool (rule 2): up to `most` tokens, and
// never more than CoreCount() - 1, each taken only when free.
class ExtraCores {
public:
    explicit ExtraCores(int most);
    ~ExtraCores();
    ExtraCores(const ExtraCores&) = delete;
    ExtraCores& operator=(const ExtraCores&) = delete;

    // One more helper thread may start: true when a token was free and the
    // limit is not reached.
    bool TryAdd();
    int Held() const { return held_; }

private:
    int most_;
    int held_ = 0;
};

}  // namespace kt
